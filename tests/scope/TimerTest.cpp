#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "scope/GrTimer.h"
#include "toolkit/SysUtils.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Serves the GUI thread's duties for `ms`: queued hand-offs and Qt events.
void Pump(int ms) {
  const auto end = Clock::now() + milliseconds(ms);
  while (Clock::now() < end) {
    CheckSynchronize(2);
    QCoreApplication::processEvents();
  }
}

template <class Pred>
bool PumpUntil(Pred pred, int ms) {
  const auto end = Clock::now() + milliseconds(ms);
  while (!pred() && Clock::now() < end) {
    CheckSynchronize(2);
    QCoreApplication::processEvents();
  }
  return pred();
}

struct TTickLog {
  std::vector<Clock::time_point> ticks;
  std::vector<bool> on_main;
  void OnTimer(TObject*) {
    ticks.push_back(Clock::now());
    on_main.push_back(IsMainThread());
  }
};

std::unique_ptr<TGrTimer> MakeTimer(TTickLog& log, std::uint32_t interval,
                                    TGrTimerType type = TGrTimerType::ttThread) {
  auto t = std::make_unique<TGrTimer>(nullptr);
  t->SetEnabled(false);
  t->SetTimerType(type);
  t->SetInterval(interval);
  t->SetOnTimer(TNotifyEvent(&log, &TTickLog::OnTimer));
  return t;
}

TEST(GrTimer, InitialValuesAndVersion) {
  TGrTimer t(nullptr);
  EXPECT_TRUE(t.Enabled());
  EXPECT_EQ(t.Interval(), 1000u);
  EXPECT_TRUE(t.SyncEvent());
  EXPECT_EQ(t.TimerType(), TGrTimerType::ttThread);
  EXPECT_EQ(t.Priority(), TThreadPriority::tpNormal);
  EXPECT_EQ(t.Version(), "1.3");
  EXPECT_FALSE(t.TimerAllocated());
}

TEST(GrTimer, FirstTickComesOneFullIntervalAfterTheFirstEnablingOnTheGuiThread) {
  TTickLog log;
  auto t = MakeTimer(log, 120);
  const auto t0 = Clock::now();
  t->SetEnabled(true);
  EXPECT_TRUE(t->TimerAllocated());
  ASSERT_TRUE(PumpUntil([&] { return !log.ticks.empty(); }, 2000));
  const auto first = std::chrono::duration_cast<milliseconds>(log.ticks[0] - t0).count();
  EXPECT_GE(first, 120);
  EXPECT_LT(first, 400);
  EXPECT_TRUE(log.on_main[0]);
}

TEST(GrTimer, WithoutOnTimerTheMechanismIsAllocatedButNeverTicks) {
  TGrTimer t(nullptr);
  t.SetInterval(20);
  t.SetEnabled(false);
  t.SetEnabled(true);
  ASSERT_TRUE(t.TimerAllocated());
  Pump(120);
  EXPECT_TRUE(t.TimerThread()->Paused());
  EXPECT_EQ(t.TimerThread()->TickCount(), 0u);
}

TEST(GrTimer, IntervalZeroPausesTheWorkerAndAPositiveIntervalResumesIt) {
  TTickLog log;
  auto t = MakeTimer(log, 20);
  t->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return log.ticks.size() >= 2; }, 2000));
  t->SetInterval(0);
  EXPECT_TRUE(t->TimerThread()->Paused());
  Pump(60);  // a tick already due may still arrive
  const std::size_t settled = log.ticks.size();
  Pump(200);
  EXPECT_EQ(log.ticks.size(), settled);
  t->SetInterval(20);
  EXPECT_FALSE(t->TimerThread()->Paused());
  EXPECT_TRUE(PumpUntil([&] { return log.ticks.size() >= settled + 2; }, 2000));
}

TEST(GrTimer, DisabledTimerDropsItsTicksAndReEnablingTicksWithinOneInterval) {
  TTickLog log;
  auto t = MakeTimer(log, 30);
  t->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return !log.ticks.empty(); }, 2000));
  t->SetEnabled(false);
  const std::size_t before = log.ticks.size();
  const std::uint64_t worker_ticks = t->TimerThread()->TickCount();
  Pump(200);
  EXPECT_EQ(log.ticks.size(), before);
  // The worker kept waking; FireTimer dropped what it handed over.
  EXPECT_GT(t->TimerThread()->TickCount(), worker_ticks + 2);
  const auto t0 = Clock::now();
  t->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return log.ticks.size() > before; }, 2000));
  EXPECT_LT(std::chrono::duration_cast<milliseconds>(log.ticks[before] - t0).count(), 200);
}

TEST(GrTimer, SwitchingTypeWhileEnabledReplacesTheMechanismAndKeepsTicking) {
  TTickLog log;
  auto t = MakeTimer(log, 20);
  t->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return !log.ticks.empty(); }, 2000));
  t->SetTimerType(TGrTimerType::ttSystem);
  EXPECT_EQ(t->TimerThread(), nullptr);
  EXPECT_TRUE(t->TimerAllocated());
  const std::size_t before = log.ticks.size();
  ASSERT_TRUE(PumpUntil([&] { return log.ticks.size() >= before + 3; }, 2000));
  EXPECT_TRUE(log.on_main.back());
  t->SetTimerType(TGrTimerType::ttThread);
  ASSERT_NE(t->TimerThread(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return log.ticks.size() >= before + 5; }, 2000));
}

TEST(GrTimer, SwitchingTypeWhileDisabledOnlyReleasesTheOldMechanism) {
  TTickLog log;
  auto t = MakeTimer(log, 20);
  t->SetEnabled(true);
  t->SetEnabled(false);
  ASSERT_TRUE(t->TimerAllocated());
  t->SetTimerType(TGrTimerType::ttSystem);
  EXPECT_FALSE(t->TimerAllocated());
  Pump(100);
  EXPECT_TRUE(log.ticks.empty());
}

TEST(GrTimer, SystemTimerTicksFromTheEventLoopAndIntervalZeroStopsIt) {
  TTickLog log;
  auto t = MakeTimer(log, 15, TGrTimerType::ttSystem);
  t->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return log.ticks.size() >= 3; }, 2000));
  t->SetInterval(0);
  Pump(20);
  const std::size_t settled = log.ticks.size();
  Pump(100);
  EXPECT_EQ(log.ticks.size(), settled);
}

TEST(GrTimer, WithoutSyncEventTheHandlerRunsOnTheWorker) {
  std::atomic<int> worker_ticks{0};
  TGrTimer t(nullptr);
  t.SetEnabled(false);
  t.SetSyncEvent(false);
  t.SetInterval(10);
  t.SetOnTimer(TNotifyEvent([&](TObject*) {
    if (!IsMainThread()) ++worker_ticks;
  }));
  t.SetEnabled(true);
  const auto end = Clock::now() + milliseconds(2000);
  while (worker_ticks.load() < 3 && Clock::now() < end)
    std::this_thread::sleep_for(milliseconds(5));  // no pumping at all
  EXPECT_GE(worker_ticks.load(), 3);
}

// The GUI thread swaps the handler again and again while the worker ticks
// with SyncEvent off: every tick runs one whole handler, never a torn one.
TEST(GrTimer, OnTimerCanBeChangedWhileTheWorkerTicksWithoutSyncEvent) {
  auto a = std::make_shared<std::atomic<int>>(0);
  auto b = std::make_shared<std::atomic<int>>(0);
  const TNotifyEvent count_a([a](TObject*) { ++*a; });
  const TNotifyEvent count_b([b](TObject*) { ++*b; });
  TGrTimer t(nullptr);
  t.SetEnabled(false);
  t.SetSyncEvent(false);
  t.SetInterval(1);
  t.SetOnTimer(count_a);
  t.SetEnabled(true);
  // The swaps go on until both handlers have ticked; a loaded machine may
  // give the worker little time, so the wait is generous and the swapping
  // thread steps aside now and then, and after its 20,000 swaps for two
  // ticks' time at each (swapping back to back, it can keep the worker from
  // the handler for seconds).
  const auto end = Clock::now() + milliseconds(20000);
  int swaps = 0;
  while ((*a < 20 || *b < 20 || swaps < 20000) && Clock::now() < end) {
    t.SetOnTimer(++swaps % 2 ? count_b : count_a);
    if (swaps >= 20000)
      std::this_thread::sleep_for(milliseconds(2));
    else if (swaps % 64 == 0)
      std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  t.SetEnabled(false);
  EXPECT_GE(a->load(), 20);
  EXPECT_GE(b->load(), 20);
  EXPECT_TRUE(t.OnTimer().Assigned());
}

TEST(GrTimer, DestroyingATimerWhoseWorkerIsBlockedInAHandOffCompletes) {
  TTickLog log;
  auto t = MakeTimer(log, 5);
  t->SetEnabled(true);
  // Do not serve the GUI duties: the worker's first tick stays queued.
  const auto end = Clock::now() + milliseconds(2000);
  while (t->TimerThread()->TickCount() == 0 && Clock::now() < end)
    std::this_thread::sleep_for(milliseconds(1));
  ASSERT_EQ(t->TimerThread()->TickCount(), 1u);
  t.reset();                       // must not hang
  EXPECT_TRUE(log.ticks.empty());  // the pending tick was dropped as disabled
  Pump(10);
}

TEST(GrTimer, PriorityChangesWhileRunningKeepTheTimerTicking) {
  TTickLog log;
  auto t = MakeTimer(log, 10);
  t->SetEnabled(true);
  for (auto p : {TThreadPriority::tpIdle, TThreadPriority::tpTimeCritical, TThreadPriority::tpLower,
                 TThreadPriority::tpNormal}) {
    t->SetPriority(p);
    EXPECT_EQ(t->Priority(), p);
    EXPECT_EQ(t->TimerThread()->Priority(), p);
  }
  EXPECT_TRUE(PumpUntil([&] { return log.ticks.size() >= 2; }, 2000));
}

}  // namespace
