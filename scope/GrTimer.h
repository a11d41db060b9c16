// A timer component that calls OnTimer every Interval milliseconds, either
// from a worker thread of its own (each tick handed to the GUI thread unless
// SyncEvent is off) or from a message timer on the GUI thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "scope/GrComponent.h"
#include "toolkit/Thread.h"

enum class TGrTimerType { ttThread, ttSystem };

class TGrTimer;
class TGrTimerWindow;

// The worker of a ttThread timer. It waits on WakeEvent with its interval as
// time-out and ticks when the wait times out. Pausing is a request that the
// loop honours only at its wait, so the GUI thread can pause and resume it
// at any moment without ever stopping it inside a hand-off.
class TGrTimerThread : public TThread {
 public:
  // Created paused: the thread exists but its loop waits until resumed.
  explicit TGrTimerThread(TGrTimer* timer);
  // Stops the loop and waits until it has ended (running queued calls
  // meanwhile when called on the GUI thread).
  ~TGrTimerThread() override;

  std::uint32_t Interval() const { return interval_.load(); }
  void SetInterval(std::uint32_t ms) { interval_.store(ms); }

  // Pause requests nest; each Resume undoes one.
  void Pause();
  void Resume();
  bool Paused() const;
  // Resumes until no longer paused, marks the worker terminated and ends a
  // pending wait at once.
  void Stop();

  // Ticks the loop has delivered (handed off or run), for diagnostics.
  std::uint64_t TickCount() const { return ticks_.load(); }

 protected:
  void Execute() override;

 private:
  void WaitWhilePaused();

  TGrTimer* const timer_;
  TSimpleEvent wake_event_{false, false};  // automatic reset, not signalled
  std::atomic<std::uint32_t> interval_{1000};
  std::atomic<std::uint64_t> ticks_{0};
  mutable std::mutex pause_mutex_;
  std::condition_variable pause_cv_;
  int pause_count_ = 1;
};

class TGrTimer : public TGrComponent {
 public:
  explicit TGrTimer(TComponent* owner);
  ~TGrTimer() override;

  bool Enabled() const { return enabled_.load(); }
  void SetEnabled(bool value);
  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t value);
  bool SyncEvent() const { return sync_event_.load(); }
  void SetSyncEvent(bool value) { sync_event_.store(value); }
  TGrTimerType TimerType() const { return timer_type_; }
  void SetTimerType(TGrTimerType value);
  TThreadPriority Priority() const { return priority_; }
  void SetPriority(TThreadPriority value);
  // With SyncEvent off the worker reads OnTimer while the GUI thread may set
  // it: both go through a lock, and a tick calls the handler it found.
  TNotifyEvent OnTimer() const;
  void SetOnTimer(TNotifyEvent handler);

  bool TimerAllocated() const { return timer_allocated_; }
  TGrTimerThread* TimerThread() const { return timer_thread_.get(); }

  // Every tick of either mechanism ends here: calls OnTimer while enabled;
  // an exception from the handler goes to the application's handler.
  virtual void FireTimer();

 protected:
  void Loaded() override;

 private:
  void UpdateTimer();
  void AllocateTimer();
  void ReleaseTimer();

  std::atomic<bool> enabled_{true};
  std::uint32_t interval_ = 1000;
  std::atomic<bool> sync_event_{true};
  TGrTimerType timer_type_ = TGrTimerType::ttThread;
  TThreadPriority priority_ = TThreadPriority::tpNormal;
  mutable std::mutex on_timer_mutex_;
  TNotifyEvent on_timer_;  // guarded by on_timer_mutex_
  bool timer_allocated_ = false;
  std::unique_ptr<TGrTimerThread> timer_thread_;
  std::unique_ptr<TGrTimerWindow> timer_window_;
};
