// Worker threads: a thread object whose Execute runs on
// its own thread, with Terminate/Terminated, WaitFor, FreeOnTerminate and
// Priority, and Synchronize, which hands a call to the GUI thread and waits
// until the GUI thread has run it.
//
// The GUI thread is the thread that started the program (the one that runs
// main()). It runs queued calls in CheckSynchronize, which the application
// calls when it processes messages and when it is idle; when the Qt event
// loop is running, queueing a call also wakes it, so the plain Qt loop runs
// the call too. A GUI thread waiting for a worker in WaitFor keeps running
// queued calls, so a worker blocked in Synchronize can finish.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "toolkit/Classes.h"

enum class TThreadPriority {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// True on the thread that started the program.
bool IsMainThread();

// Runs the calls that workers have queued with Synchronize. On the GUI
// thread only (elsewhere it returns false at once). With no call queued it
// waits up to `timeout_ms` for one to arrive. Returns true if it ran any.
bool CheckSynchronize(int timeout_ms = 0);

// Called (from the worker) whenever a call is queued for the GUI thread, in
// addition to the Qt wake-up, so that an application with its own message
// queue can wake it as well. Set it before any worker runs.
void SetWakeMainThread(std::function<void()> wake);

// Hands `method` to the GUI thread, waits until it has run and rethrows what
// it raised. Called on the GUI thread, it runs `method` at once.
void Synchronize(const std::function<void()>& method);

// An event object: manual or automatic reset, waited on with a time-out.
class TSimpleEvent {
 public:
  explicit TSimpleEvent(bool manual_reset = true, bool initial_state = false)
      : manual_reset_(manual_reset), signalled_(initial_state) {}
  TSimpleEvent(const TSimpleEvent&) = delete;
  TSimpleEvent& operator=(const TSimpleEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // `timeout_ms` < 0 waits without limit. An automatic-reset event is reset
  // by the wait it ends.
  TWaitResult WaitFor(std::int64_t timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  const bool manual_reset_;
  bool signalled_;
};

class TThread : public TObject {
 public:
  // The thread starts running Execute at Start(), which the most derived
  // constructor (or the creator) calls once the object is complete: a thread
  // started from a base constructor would run a half-built object.
  TThread() = default;
  // Terminates the thread and waits for it to end (see WaitFor). A thread
  // that was never started is simply discarded. A derived class whose
  // Execute uses its own members ends the thread in its own destructor.
  ~TThread() override;

  // Starts the thread; does nothing if it was started already.
  void Start();

  // Asks Execute to end; Execute checks Terminated().
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }

  // Waits until Execute has returned and gives the thread's ReturnValue.
  // On the GUI thread it runs queued Synchronize calls meanwhile. Must not
  // be called by the thread itself or on a FreeOnTerminate thread.
  int WaitFor();

  bool Started() const { return started_; }
  bool Finished() const;

  // A FreeOnTerminate thread deletes itself once Execute has returned.
  // Set it before the thread starts.
  bool FreeOnTerminate() const { return free_on_terminate_.load(); }
  void SetFreeOnTerminate(bool value) { free_on_terminate_.store(value); }

  // Mapped onto the scheduler: tpIdle is the idle policy, the others are
  // nice values 10, 5, 0, -5, -10 and -20. Where the system refuses a value
  // (raising needs privileges) the thread keeps running as it was; the
  // property still reads back what was set.
  TThreadPriority Priority() const { return priority_.load(); }
  void SetPriority(TThreadPriority priority);

  // What escaped Execute, if anything.
  std::exception_ptr FatalException() const;

  int ReturnValue() const { return return_value_.load(); }

  TNotifyEvent OnTerminate;  // run on the GUI thread after Execute returned

 protected:
  virtual void Execute() = 0;
  void SetReturnValue(int value) { return_value_.store(value); }
  // Runs `method` on the GUI thread while this thread waits.
  void Synchronize(const std::function<void()>& method) { ::Synchronize(method); }

 private:
  void Run();
  void ApplyPriority();

  std::thread thread_;
  bool started_ = false;
  bool joined_ = false;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> free_on_terminate_{false};
  std::atomic<TThreadPriority> priority_{TThreadPriority::tpNormal};
  std::atomic<int> tid_{0};  // kernel thread id once running
  std::atomic<int> return_value_{0};
  bool finished_ = false;     // guarded by the synchronisation lock
  std::exception_ptr fatal_;  // written by the thread before finished_
};
