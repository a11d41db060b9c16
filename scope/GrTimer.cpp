#include "scope/GrTimer.h"

#include <QObject>
#include <QTimerEvent>
#include <utility>

#include "toolkit/Forms.h"
#include "toolkit/SysUtils.h"

// The hidden window of a ttSystem timer: a GUI-thread object whose message
// timer delivers the ticks.
class TGrTimerWindow : public QObject {
 public:
  explicit TGrTimerWindow(TGrTimer* timer) : timer_(timer) {}
  ~TGrTimerWindow() override { KillTimer(); }

  // Returns false when the system has no timer left.
  bool SetTimer(std::uint32_t interval_ms) {
    KillTimer();
    id_ = startTimer(static_cast<int>(std::min<std::uint32_t>(interval_ms, 0x7FFFFFFF)));
    return id_ != 0;
  }
  void KillTimer() {
    if (id_ != 0) killTimer(id_);
    id_ = 0;
  }

 protected:
  void timerEvent(QTimerEvent* event) override {
    if (event->timerId() == id_) timer_->FireTimer();
  }

 private:
  TGrTimer* const timer_;
  int id_ = 0;
};

// ---- TGrTimerThread ----

TGrTimerThread::TGrTimerThread(TGrTimer* timer) : timer_(timer) {
  Start();
}

TGrTimerThread::~TGrTimerThread() {
  Stop();
  WaitFor();
}

void TGrTimerThread::Pause() {
  std::lock_guard lock(pause_mutex_);
  ++pause_count_;
}

void TGrTimerThread::Resume() {
  {
    std::lock_guard lock(pause_mutex_);
    if (pause_count_ > 0) --pause_count_;
  }
  pause_cv_.notify_all();
}

bool TGrTimerThread::Paused() const {
  std::lock_guard lock(pause_mutex_);
  return pause_count_ > 0;
}

void TGrTimerThread::Stop() {
  {
    std::lock_guard lock(pause_mutex_);
    pause_count_ = 0;
    Terminate();
  }
  pause_cv_.notify_all();
  wake_event_.SetEvent();
}

void TGrTimerThread::WaitWhilePaused() {
  std::unique_lock lock(pause_mutex_);
  pause_cv_.wait(lock, [this] { return pause_count_ == 0 || Terminated(); });
}

void TGrTimerThread::Execute() {
  while (!Terminated()) {
    WaitWhilePaused();
    if (wake_event_.WaitFor(interval_.load()) != TWaitResult::wrTimeout) continue;
    // A pause requested during the wait holds the due tick until resumed.
    WaitWhilePaused();
    if (Terminated()) continue;
    if (Application->Terminated()) continue;
    ++ticks_;
    if (timer_->SyncEvent())
      Synchronize([this] { timer_->FireTimer(); });
    else
      timer_->FireTimer();
  }
}

// ---- TGrTimer ----

TGrTimer::TGrTimer(TComponent* owner) : TGrComponent(owner) {}

TGrTimer::~TGrTimer() {
  enabled_.store(false);
  // The worker is ended before the handler is cleared: with SyncEvent off it
  // may be inside OnTimer right now.
  ReleaseTimer();
  SetOnTimer(nullptr);
}

TNotifyEvent TGrTimer::OnTimer() const {
  std::lock_guard lock(on_timer_mutex_);
  return on_timer_;
}

void TGrTimer::SetOnTimer(TNotifyEvent handler) {
  TNotifyEvent old;
  {
    std::lock_guard lock(on_timer_mutex_);
    old = std::exchange(on_timer_, std::move(handler));
  }
  // `old` (and whatever it holds) goes outside the lock.
}

void TGrTimer::SetEnabled(bool value) {
  if (enabled_.load() == value) return;
  enabled_.store(value);
  if (value) UpdateTimer();
}

void TGrTimer::SetInterval(std::uint32_t value) {
  if (interval_ == value) return;
  interval_ = value;
  if (Enabled()) UpdateTimer();
}

void TGrTimer::SetTimerType(TGrTimerType value) {
  if (timer_type_ == value) return;
  ReleaseTimer();
  timer_type_ = value;
  if (Enabled()) UpdateTimer();
}

void TGrTimer::SetPriority(TThreadPriority value) {
  if (priority_ == value) return;
  priority_ = value;
  if (timer_type_ == TGrTimerType::ttThread && Enabled()) UpdateTimer();
}

void TGrTimer::Loaded() {
  TGrComponent::Loaded();
  UpdateTimer();
}

void TGrTimer::UpdateTimer() {
  if (IsDesigning()) return;
  if (!timer_allocated_) AllocateTimer();
  const bool runs = interval_ != 0 && Enabled() && OnTimer().Assigned();
  if (timer_type_ == TGrTimerType::ttThread) {
    TGrTimerThread& worker = *timer_thread_;
    if (!worker.Paused()) worker.Pause();
    worker.SetInterval(interval_);
    if (!runs) return;
    worker.SetPriority(priority_);
    while (worker.Paused()) worker.Resume();
  } else {
    timer_window_->KillTimer();
    if (runs && !timer_window_->SetTimer(interval_))
      throw EOutOfResources("No timer resources left.");
  }
}

void TGrTimer::AllocateTimer() {
  if (timer_type_ == TGrTimerType::ttThread)
    timer_thread_ = std::make_unique<TGrTimerThread>(this);
  else
    timer_window_ = std::make_unique<TGrTimerWindow>(this);
  timer_allocated_ = true;
}

void TGrTimer::ReleaseTimer() {
  if (!timer_allocated_) return;
  if (timer_thread_) {
    timer_thread_->Stop();
    timer_thread_.reset();  // waits for the loop, serving a pending hand-off
  }
  timer_window_.reset();  // kills its timer
  timer_allocated_ = false;
}

void TGrTimer::FireTimer() {
  if (!Enabled()) return;
  // A copy: the handler may reassign OnTimer, and on the worker the GUI
  // thread may do so meanwhile.
  const TNotifyEvent handler = OnTimer();
  if (!handler.Assigned()) return;
  ReportExceptions(this, [this, &handler] { handler(this); });
}
