#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <memory>

#include "toolkit/SysUtils.h"
#include "toolkit/Thread.h"

namespace {

class TLambdaThread : public TThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body, bool suspended = true)
      : body_(std::move(body)) {
    if (!suspended) Start();
  }
  ~TLambdaThread() override {
    Terminate();
    WaitFor();
  }
  using TThread::SetReturnValue;
  using TThread::Synchronize;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TLambdaThread&)> body_;
};

TEST(Thread, RunsExecuteOnlyOnceStartedAndWaitForGivesTheReturnValue) {
  std::atomic<int> runs{0};
  TLambdaThread t([&](TLambdaThread& self) {
    ++runs;
    self.SetReturnValue(42);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(runs.load(), 0);
  t.Start();
  EXPECT_EQ(t.WaitFor(), 42);
  EXPECT_EQ(runs.load(), 1);
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, NeverStartedThreadIsDiscardedWithoutRunning) {
  std::atomic<int> runs{0};
  {
    TLambdaThread t([&](TLambdaThread&) { ++runs; });
  }
  EXPECT_EQ(runs.load(), 0);
}

TEST(Thread, TerminateEndsALoopingExecute) {
  TLambdaThread t(
      [](TLambdaThread& self) {
        while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      false);
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

TEST(Thread, SynchronizeRunsOnTheGuiThreadWhileItWaitsForTheWorker) {
  std::atomic<int> on_main{0};
  TLambdaThread t(
      [&](TLambdaThread& self) {
        for (int i = 0; i < 5; ++i) self.Synchronize([&] { on_main += IsMainThread() ? 1 : 0; });
      },
      false);
  t.WaitFor();  // would hang if the GUI thread did not serve the calls
  EXPECT_EQ(on_main.load(), 5);
}

TEST(Thread, SynchronizeRethrowsInTheWorkerAndKeepsItsMessage) {
  std::string caught;
  TLambdaThread t(
      [&](TLambdaThread& self) {
        try {
          self.Synchronize([] { throw Exception("boom"); });
        } catch (const Exception& e) {
          caught = e.Message();
        }
      },
      false);
  t.WaitFor();
  EXPECT_EQ(caught, "boom");
}

TEST(Thread, EscapedExceptionIsKeptAsFatalException) {
  TLambdaThread t([](TLambdaThread&) { throw Exception("lost"); }, false);
  t.WaitFor();
  ASSERT_TRUE(t.FatalException());
  try {
    std::rethrow_exception(t.FatalException());
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "lost");
  }
}

TEST(Thread, CheckSynchronizeWaitsForAQueuedCallUpToItsTimeout) {
  EXPECT_FALSE(CheckSynchronize(0));
  std::atomic<bool> ran{false};
  TLambdaThread t([&](TLambdaThread& self) { self.Synchronize([&] { ran = true; }); }, false);
  bool any = false;
  for (int i = 0; i < 100 && !any; ++i) any = CheckSynchronize(50);
  EXPECT_TRUE(any);
  EXPECT_TRUE(ran.load());
  t.WaitFor();
}

TEST(Thread, CheckSynchronizeOffTheGuiThreadDoesNothing) {
  std::atomic<bool> result{true};
  TLambdaThread t([&](TLambdaThread&) { result = CheckSynchronize(10); }, false);
  t.WaitFor();
  EXPECT_FALSE(result.load());
}

TEST(Thread, QueuedCallWakesThePlainQtEventLoop) {
  QEventLoop loop;
  std::atomic<bool> ran{false};
  TLambdaThread t(
      [&](TLambdaThread& self) {
        self.Synchronize([&] {
          ran = true;
          loop.quit();
        });
      },
      false);
  QTimer::singleShot(5000, &loop, &QEventLoop::quit);  // guard against a hang
  loop.exec();
  EXPECT_TRUE(ran.load());
  t.WaitFor();
}

TEST(Thread, WakeHookIsCalledForEveryQueuedCall) {
  std::atomic<int> wakes{0};
  SetWakeMainThread([&] { ++wakes; });
  TLambdaThread t(
      [&](TLambdaThread& self) {
        self.Synchronize([] {});
        self.Synchronize([] {});
      },
      false);
  t.WaitFor();
  SetWakeMainThread(nullptr);
  QCoreApplication::processEvents();  // drop the pending Qt wake-ups
  EXPECT_EQ(wakes.load(), 2);
}

TEST(Thread, EveryPriorityCanBeSetWithoutFailing) {
  TLambdaThread t(
      [](TLambdaThread& self) {
        while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      },
      false);
  for (auto p : {TThreadPriority::tpIdle, TThreadPriority::tpLowest, TThreadPriority::tpLower,
                 TThreadPriority::tpHigher, TThreadPriority::tpHighest,
                 TThreadPriority::tpTimeCritical, TThreadPriority::tpNormal}) {
    t.SetPriority(p);
    EXPECT_EQ(t.Priority(), p);
  }
}

TEST(Thread, FreeOnTerminateThreadDeletesItselfAfterOnTerminate) {
  // Counted per run (the thread may outlive a failed wait, hence shared).
  auto destroyed = std::make_shared<std::atomic<int>>(0);
  struct TSelfFreeing : TThread {
    explicit TSelfFreeing(std::shared_ptr<std::atomic<int>> count) : count_(std::move(count)) {
      SetFreeOnTerminate(true);
    }
    ~TSelfFreeing() override { ++*count_; }
    void Execute() override {}
    std::shared_ptr<std::atomic<int>> count_;
  };
  auto* t = new TSelfFreeing(destroyed);
  auto notified = std::make_shared<std::atomic<bool>>(false);
  t->OnTerminate = TNotifyEvent([notified](TObject*) { *notified = IsMainThread(); });
  t->Start();
  for (int i = 0; i < 200 && destroyed->load() == 0; ++i) CheckSynchronize(10);
  for (int i = 0; i < 200 && destroyed->load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_TRUE(notified->load());
  EXPECT_EQ(destroyed->load(), 1);
}

TEST(SimpleEvent, AutoResetEventIsConsumedByTheWaitItEnds) {
  TSimpleEvent e(false, false);
  EXPECT_EQ(e.WaitFor(10), TWaitResult::wrTimeout);
  e.SetEvent();
  EXPECT_EQ(e.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(e.WaitFor(0), TWaitResult::wrTimeout);
  TSimpleEvent m(true, true);
  EXPECT_EQ(m.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(m.WaitFor(0), TWaitResult::wrSignaled);
  m.ResetEvent();
  EXPECT_EQ(m.WaitFor(0), TWaitResult::wrTimeout);
}

}  // namespace
