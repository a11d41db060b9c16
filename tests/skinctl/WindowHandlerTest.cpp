// Taking over a control's message chain and handing it back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "skin/sWindowHandler.h"
#include "toolkit/ExtCtrls.h"

namespace {

constexpr std::uint32_t kProbe = WM_APP + 7;

class TRecorder : public TsWindowHandler {
 public:
  TRecorder(TControl* c, std::string name, std::vector<std::string>& log)
      : TsWindowHandler(c), name_(std::move(name)), log_(log) {}

 protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == kProbe) log_.push_back(name_);
    if (m.Msg == kProbe && name_ == "eater") {
      m.Result = 42;
      return;
    }
    CallPrevious(m);
  }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

class TCounting : public TPanel {
 public:
  using TPanel::TPanel;
  int probes = 0;

 protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg == kProbe) {
      ++probes;
      m.Result = 1;
      return;
    }
    TPanel::Dispatch(m);
  }
};

}  // namespace

TEST(WindowHandler, TakesTheChainAndGivesItBack) {
  TCounting panel(nullptr);
  std::vector<std::string> log;
  {
    TRecorder a(&panel, "a", log);
    EXPECT_EQ(panel.Perform(kProbe), 1);
    EXPECT_EQ(panel.probes, 1);
    {
      TRecorder eater(&panel, "eater", log);
      EXPECT_EQ(panel.Perform(kProbe), 42);  // handled before the control
      EXPECT_EQ(panel.probes, 1);
    }
    EXPECT_EQ(panel.Perform(kProbe), 1);
    EXPECT_EQ(panel.probes, 2);
  }
  EXPECT_EQ((std::vector<std::string>{"a", "eater", "a"}), log);
  log.clear();
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(panel.WindowProc().Data(), &panel);
}

TEST(WindowHandler, HandlersDetachAndDieInAnyOrder) {
  TCounting panel(nullptr);
  std::vector<std::string> log;
  auto first = std::make_unique<TRecorder>(&panel, "first", log);
  auto second = std::make_unique<TRecorder>(&panel, "second", log);
  auto third = std::make_unique<TRecorder>(&panel, "third", log);
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_EQ((std::vector<std::string>{"third", "second", "first"}), log);

  // One from the middle goes: the chain closes over the gap.
  second.reset();
  log.clear();
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_EQ((std::vector<std::string>{"third", "first"}), log);

  // The bottom one detaches, then dies, while the head stays.
  first->Detach();
  EXPECT_FALSE(first->Attached());
  first.reset();
  log.clear();
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_EQ((std::vector<std::string>{"third"}), log);

  // A handler attached now sits on the head; the head goes first.
  auto fourth = std::make_unique<TRecorder>(&panel, "fourth", log);
  third.reset();
  log.clear();
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_EQ((std::vector<std::string>{"fourth"}), log);
  fourth.reset();
  EXPECT_EQ(panel.WindowProc().Data(), &panel);
  EXPECT_EQ(panel.Perform(kProbe), 1);
  EXPECT_EQ(panel.probes, 5);
}
