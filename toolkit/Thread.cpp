#include "toolkit/Thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <deque>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Captured by the dynamic initialiser, which runs on the program's first thread.
const std::thread::id g_main_thread_id = std::this_thread::get_id();

struct TSyncRequest {
  const std::function<void()>* method = nullptr;
  std::exception_ptr error;
  bool done = false;
};

// One lock for the call queue and for "a thread has finished", so that a
// GUI thread waiting in WaitFor can wait for either without missing a wake-up.
struct TSyncState {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<TSyncRequest*> queue;
  std::function<void()> wake;
};

TSyncState& Sync() {
  static TSyncState* state = new TSyncState;  // never destroyed: workers may outlive statics
  return *state;
}

void WakeMainThread() {
  // Wakes the plain Qt loop: the lambda runs on the application object's
  // thread, which is the GUI thread.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app, [] { CheckSynchronize(); }, Qt::QueuedConnection);
  }
  std::function<void()> wake;
  {
    std::lock_guard lock(Sync().mutex);
    wake = Sync().wake;
  }
  if (wake) wake();
}

}  // namespace

bool IsMainThread() {
  return std::this_thread::get_id() == g_main_thread_id;
}

void SetWakeMainThread(std::function<void()> wake) {
  std::lock_guard lock(Sync().mutex);
  Sync().wake = std::move(wake);
}

bool CheckSynchronize(int timeout_ms) {
  if (!IsMainThread()) return false;
  TSyncState& s = Sync();
  std::deque<TSyncRequest*> pending;
  {
    std::unique_lock lock(s.mutex);
    if (s.queue.empty() && timeout_ms > 0)
      s.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !s.queue.empty(); });
    pending.swap(s.queue);
  }
  // A queued call may itself process messages and so re-enter here; it then
  // sees only calls queued after this batch was taken.
  for (TSyncRequest* request : pending) {
    try {
      (*request->method)();
    } catch (...) {
      // The error goes back to the waiting worker, which rethrows it.
      request->error = std::current_exception();
    }
    {
      std::lock_guard lock(s.mutex);
      request->done = true;
    }
    s.cv.notify_all();
  }
  return !pending.empty();
}

void Synchronize(const std::function<void()>& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  TSyncState& s = Sync();
  TSyncRequest request;
  request.method = &method;
  {
    std::lock_guard lock(s.mutex);
    s.queue.push_back(&request);
  }
  s.cv.notify_all();  // a GUI thread in WaitFor or CheckSynchronize(timeout)
  WakeMainThread();
  {
    std::unique_lock lock(s.mutex);
    s.cv.wait(lock, [&] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

// ---- TSimpleEvent ----

void TSimpleEvent::SetEvent() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  if (manual_reset_)
    cv_.notify_all();
  else
    cv_.notify_one();
}

void TSimpleEvent::ResetEvent() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

TWaitResult TSimpleEvent::WaitFor(std::int64_t timeout_ms) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return signalled_; };
  if (timeout_ms < 0) {
    cv_.wait(lock, ready);
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
    return TWaitResult::wrTimeout;
  }
  if (!manual_reset_) signalled_ = false;
  return TWaitResult::wrSignaled;
}

// ---- TThread ----

TThread::~TThread() {
  if (started_ && !joined_) {
    Terminate();
    WaitFor();
  }
}

void TThread::Start() {
  std::lock_guard lock(Sync().mutex);
  if (started_) return;
  // Assigned under the lock, which Run takes before it may detach thread_.
  thread_ = std::thread(&TThread::Run, this);
  started_ = true;
}

bool TThread::Finished() const {
  std::lock_guard lock(Sync().mutex);
  return finished_;
}

std::exception_ptr TThread::FatalException() const {
  std::lock_guard lock(Sync().mutex);
  return fatal_;
}

void TThread::Run() {
  tid_.store(static_cast<int>(gettid()));
  ApplyPriority();
  std::exception_ptr fatal;
  try {
    Execute();
  } catch (...) {
    // No exception may leave the thread: it is kept as FatalException.
    fatal = std::current_exception();
  }
  if (OnTerminate) {
    try {
      ::Synchronize([this] { OnTerminate(this); });
    } catch (...) {
      // The first error is the one kept.
      if (!fatal) fatal = std::current_exception();
    }
  }
  TSyncState& s = Sync();
  bool free_self = false;
  {
    std::lock_guard lock(s.mutex);
    fatal_ = fatal;
    finished_ = true;
    if (free_on_terminate_.load()) {
      free_self = true;
      thread_.detach();
      joined_ = true;
    }
  }
  s.cv.notify_all();
  if (free_self) delete this;
}

int TThread::WaitFor() {
  if (!started_ || joined_) return ReturnValue();
  TSyncState& s = Sync();
  if (IsMainThread()) {
    std::unique_lock lock(s.mutex);
    while (!finished_) {
      if (!s.queue.empty()) {
        lock.unlock();
        CheckSynchronize();
        lock.lock();
        continue;
      }
      s.cv.wait(lock);
    }
  } else {
    std::unique_lock lock(s.mutex);
    s.cv.wait(lock, [&] { return finished_; });
  }
  if (thread_.joinable()) thread_.join();
  joined_ = true;
  return ReturnValue();
}

void TThread::SetPriority(TThreadPriority priority) {
  if (priority_.exchange(priority) == priority) return;
  ApplyPriority();
}

void TThread::ApplyPriority() {
  const int tid = tid_.load();
  if (tid == 0) return;  // applied when the thread starts
  const TThreadPriority p = priority_.load();
  sched_param param{};
  param.sched_priority = 0;
  if (p == TThreadPriority::tpIdle) {
    sched_setscheduler(tid, SCHED_IDLE, &param);
    return;
  }
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -20};
  // Leave the idle policy first; both calls may be refused without
  // privileges, and the thread then simply keeps what it had.
  if (sched_getscheduler(tid) == SCHED_IDLE) sched_setscheduler(tid, SCHED_OTHER, &param);
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[static_cast<int>(p)]);
}
