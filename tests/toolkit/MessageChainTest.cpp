// A control's message chain while messages are on their way through it:
// handlers that send the control another message, or hand the chain back,
// from inside their own handling; through Perform and through Qt's events.
#include <gtest/gtest.h>

#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

constexpr std::uint32_t kProbe = WM_APP + 11;
constexpr std::uint32_t kInner = WM_APP + 12;

std::string NameOf(std::uint32_t msg) {
  return msg == kProbe ? "probe" : msg == kInner ? "inner" : "";
}

// A panel that answers the probes itself, and says so.
class TLoggingPanel : public TPanel {
 public:
  TLoggingPanel(TComponent* owner, std::vector<std::string>& log) : TPanel(owner), log_(log) {}

 protected:
  void Dispatch(TMessage& m) override {
    if (!NameOf(m.Msg).empty()) {
      log_.push_back("panel " + NameOf(m.Msg));
      m.Result = static_cast<std::intptr_t>(m.Msg);
      return;
    }
    TPanel::Dispatch(m);
  }

 private:
  std::vector<std::string>& log_;
};

class MessageChain : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(200, 100);
    panel = new TLoggingPanel(form.get(), log);
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 100, 50);
  }

  std::vector<std::string> log;
  std::unique_ptr<TForm> form;
  TLoggingPanel* panel = nullptr;
};

TEST_F(MessageChain, AHandlerMaySendAgainAndHandTheChainBackWhileAMessagePasses) {
  const TWndMethod own = panel->WindowProc();
  panel->SetWindowProc(TWndMethod([&, own](TMessage& m) {
    if (!NameOf(m.Msg).empty()) log.push_back("lower " + NameOf(m.Msg));
    own(m);
  }));
  const TWndMethod lower = panel->WindowProc();
  // The upper handler, on a probe, sends the panel another message (which
  // goes through the whole chain, itself included), then leaves the chain
  // and passes the probe on.
  panel->SetWindowProc(TWndMethod([&, lower](TMessage& m) {
    if (m.Msg == kProbe) {
      log.push_back("upper probe");
      EXPECT_EQ(panel->Perform(kInner), static_cast<std::intptr_t>(kInner));
      panel->SetWindowProc(lower);
    } else if (m.Msg == kInner) {
      log.push_back("upper inner");
    }
    lower(m);
  }));
  EXPECT_EQ(panel->Perform(kProbe), static_cast<std::intptr_t>(kProbe));
  EXPECT_EQ(log, (std::vector<std::string>{"upper probe", "upper inner", "lower inner",
                                           "panel inner", "lower probe", "panel probe"}));
  log.clear();
  EXPECT_EQ(panel->Perform(kProbe), static_cast<std::intptr_t>(kProbe));
  EXPECT_EQ(log, (std::vector<std::string>{"lower probe", "panel probe"}));
  panel->SetWindowProc(own);
}

TEST_F(MessageChain, AHandlerMayHandTheChainBackWhileAQtEventPasses) {
  form->Show();
  Application->ProcessMessages();
  int downs = 0, taken = 0;
  panel->OnMouseDown = TMouseEvent([&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; });
  const TWndMethod own = panel->WindowProc();
  // A handler that goes once it has seen a press, as a skin's frame handler
  // goes when the skin is dropped by what the press does.
  panel->SetWindowProc(TWndMethod([&, own](TMessage& m) {
    if (m.Msg == WM_LBUTTONDOWN) {
      ++taken;
      panel->SetWindowProc(own);
    }
    own(m);
  }));
  QTest::mousePress(panel->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QTest::mouseRelease(panel->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  QTest::mousePress(panel->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
  QTest::mouseRelease(panel->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
  EXPECT_EQ(taken, 1);
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(panel->WindowProc().Data(), own.Data());
}

}  // namespace
