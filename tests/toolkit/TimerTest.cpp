// The GUI-thread timer component.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <memory>
#include <stdexcept>

#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

void PumpFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

TEST(Timer, TicksOnTheGuiThreadWhileEnabledAndAssigned) {
  Application->Initialize();
  TTimer timer(nullptr);
  int ticks = 0;
  bool on_gui_thread = true;
  timer.SetInterval(10);
  EXPECT_FALSE(timer.Running());  // nothing to call yet
  timer.SetOnTimer(TNotifyEvent([&](TObject* sender) {
    ++ticks;
    on_gui_thread = on_gui_thread && QThread::currentThread() == qApp->thread() && sender == &timer;
  }));
  EXPECT_TRUE(timer.Running());
  PumpFor(120);
  EXPECT_GE(ticks, 3);
  EXPECT_TRUE(on_gui_thread);
  timer.SetEnabled(false);
  const int stopped_at = ticks;
  PumpFor(50);
  EXPECT_EQ(ticks, stopped_at);
  timer.SetEnabled(true);
  timer.SetInterval(0);  // an interval of 0 does not run
  EXPECT_FALSE(timer.Running());
}

TEST(Timer, StartsOnlyOnceItsOwnersSettingsAreRead) {
  Application->Initialize();
  TComponent owner(nullptr);
  owner.BeginLoading();
  auto* timer = new TTimer(&owner);
  int ticks = 0;
  timer->SetInterval(5);
  timer->SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  EXPECT_FALSE(timer->Running());
  owner.EndLoading();
  EXPECT_TRUE(timer->Running());
  PumpFor(40);
  EXPECT_GT(ticks, 0);
}

TEST(Timer, MayBeFreedByItsOwnHandlerAndReportsErrors) {
  Application->Initialize();
  auto timer = std::make_unique<TTimer>(nullptr);
  timer->SetInterval(5);
  int ticks = 0;
  timer->SetOnTimer(TNotifyEvent([&](TObject*) {
    ++ticks;
    timer.reset();
  }));
  PumpFor(40);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer, nullptr);

  std::string reported;
  Application->OnException =
      TExceptionEvent([&](TObject*, const std::exception& e) { reported = e.what(); }, nullptr);
  TTimer failing(nullptr);
  failing.SetInterval(5);
  failing.SetOnTimer(TNotifyEvent([&](TObject*) {
    failing.SetEnabled(false);
    throw std::runtime_error("tick failed");
  }));
  PumpFor(40);
  Application->OnException = nullptr;
  EXPECT_EQ(reported, "tick failed");
}
