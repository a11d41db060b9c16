#include "platform/Messages.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct TClass {
  WNDCLASS wc;
  std::string name;  // as registered
  std::string menu;
  int windows = 0;
};

struct TWindow {
  std::pair<HINSTANCE, std::string> class_key;
  WNDPROC proc = nullptr;
  DWORD thread = 0;
  std::vector<std::uint8_t> extra;
  bool destroying = false;
};

struct TEntry {
  MSG msg;
  std::uint64_t tag = 0;
};

struct TQueue {
  DWORD thread = 0;
  QThread* qthread = nullptr;
  std::deque<TEntry> entries;
  std::condition_variable ready;
  bool quit = false;
  int exit_code = 0;
  bool wake_pending = false;  // a Qt pump call is on its way
};

std::mutex g_mutex;
std::map<std::pair<HINSTANCE, std::string>, TClass> g_classes;
std::map<HWND, TWindow> g_windows;
std::map<DWORD, std::shared_ptr<TQueue>> g_queues;
HWND g_next_window = 0x10010;

std::string Lower(const char* s) {
  std::string out = s ? s : "";
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

DWORD Tick() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void ForgetThread(DWORD thread);

// Ends the thread's queue and windows with the thread.
struct TThreadGuard {
  DWORD thread = 0;
  ~TThreadGuard() {
    if (thread) ForgetThread(thread);
  }
};
thread_local TThreadGuard t_guard;

// The calling thread's queue, made on first use. Caller holds g_mutex.
TQueue& OwnQueueLocked() {
  const DWORD self = GetCurrentThreadId();
  auto& q = g_queues[self];
  if (!q) {
    q = std::make_shared<TQueue>();
    q->thread = self;
    q->qthread = QThread::currentThread();
    t_guard.thread = self;
  }
  return *q;
}

void ForgetThread(DWORD thread) {
  std::lock_guard lock(g_mutex);
  for (auto it = g_windows.begin(); it != g_windows.end();) {
    if (it->second.thread == thread) {
      auto c = g_classes.find(it->second.class_key);
      if (c != g_classes.end()) --c->second.windows;
      it = g_windows.erase(it);
    } else {
      ++it;
    }
  }
  g_queues.erase(thread);
}

void PumpQtQueue(DWORD thread);

// Wakes the Qt loop of the queue's thread if that thread runs the Qt
// application. Caller holds g_mutex.
void WakeLocked(TQueue& q) {
  q.ready.notify_all();
  if (q.wake_pending) return;
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || app->thread() != q.qthread) return;
  q.wake_pending = true;
  const DWORD thread = q.thread;
  QMetaObject::invokeMethod(
      app, [thread] { PumpQtQueue(thread); }, Qt::QueuedConnection);
}

bool Matches(const MSG& m, HWND hwnd, UINT min, UINT max) {
  if (hwnd != 0 && m.hwnd != hwnd) return false;
  if (min == 0 && max == 0) return true;
  return m.message >= min && m.message <= max;
}

// Takes (or looks at) the first matching message. Caller holds g_mutex.
bool TakeLocked(TQueue& q, MSG* out, HWND hwnd, UINT min, UINT max, bool remove) {
  for (auto it = q.entries.begin(); it != q.entries.end(); ++it) {
    if (!Matches(it->msg, hwnd, min, max)) continue;
    if (out) *out = it->msg;
    if (remove) q.entries.erase(it);
    return true;
  }
  // The quit message comes when nothing else waits.
  if (q.quit && (hwnd == 0) && Matches(MSG{0, WM_QUIT, 0, 0, 0}, 0, min, max)) {
    if (out) *out = MSG{0, WM_QUIT, static_cast<WPARAM>(q.exit_code), 0, Tick()};
    if (remove) q.quit = false;
    return true;
  }
  return false;
}

BOOL PostLocked(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, std::uint64_t tag) {
  auto w = g_windows.find(hwnd);
  if (w == g_windows.end() || w->second.destroying) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  auto q = g_queues.find(w->second.thread);
  if (q == g_queues.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  q->second->entries.push_back(TEntry{MSG{hwnd, msg, wparam, lparam, Tick()}, tag});
  WakeLocked(*q->second);
  return 1;
}

// Dispatches what the Qt thread's queue holds now; what handlers post
// meanwhile comes with the next wake.
void PumpQtQueue(DWORD thread) {
  std::size_t count;
  {
    std::lock_guard lock(g_mutex);
    auto q = g_queues.find(thread);
    if (q == g_queues.end()) return;
    q->second->wake_pending = false;
    count = q->second->entries.size();
  }
  for (std::size_t i = 0; i < count; ++i) {
    MSG msg;
    {
      std::lock_guard lock(g_mutex);
      auto q = g_queues.find(thread);
      if (q == g_queues.end() || q->second->entries.empty()) return;
      msg = q->second->entries.front().msg;
      q->second->entries.pop_front();
    }
    try {
      DispatchMessage(&msg);
    } catch (const std::exception& e) {
      // Nothing may unwind into Qt's event loop.
      qWarning("Message 0x%x: unhandled exception: %s", msg.message, e.what());
    } catch (...) {
      qWarning("Message 0x%x: unhandled exception", msg.message);
    }
  }
}

WNDPROC ProcOf(HWND hwnd) {
  std::lock_guard lock(g_mutex);
  auto w = g_windows.find(hwnd);
  return w == g_windows.end() ? nullptr : w->second.proc;
}

}  // namespace

HINSTANCE MainInstance() {
  return 0x00400000;
}

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(::syscall(SYS_gettid));
}

ATOM RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName || !*wc->lpszClassName || !wc->lpfnWndProc || wc->cbWndExtra < 0 ||
      wc->cbClsExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(g_mutex);
  auto key = std::make_pair(wc->hInstance, Lower(wc->lpszClassName));
  if (g_classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  TClass c;
  c.wc = *wc;
  c.name = wc->lpszClassName;
  c.menu = wc->lpszMenuName ? wc->lpszMenuName : "";
  c.wc.lpszClassName = nullptr;
  c.wc.lpszMenuName = nullptr;
  g_classes[key] = c;
  static ATOM next_atom = 0xC000;
  return next_atom++;
}

BOOL GetClassInfo(HINSTANCE instance, const char* class_name, WNDCLASS* wc) {
  std::lock_guard lock(g_mutex);
  auto c = g_classes.find({instance, Lower(class_name)});
  if (c == g_classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return 0;
  }
  if (wc) {
    *wc = c->second.wc;
    wc->lpszClassName = c->second.name.c_str();
    wc->lpszMenuName = c->second.menu.empty() ? nullptr : c->second.menu.c_str();
  }
  return 1;
}

BOOL UnregisterClass(const char* class_name, HINSTANCE instance) {
  std::lock_guard lock(g_mutex);
  auto c = g_classes.find({instance, Lower(class_name)});
  if (c == g_classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return 0;
  }
  if (c->second.windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return 0;
  }
  g_classes.erase(c);
  return 1;
}

HWND CreateWindowEx(DWORD, const char* class_name, const char*, DWORD, int, int, int, int, HWND,
                    std::uintptr_t, HINSTANCE instance, void*) {
  HWND hwnd;
  WNDPROC proc;
  {
    std::lock_guard lock(g_mutex);
    auto c = g_classes.find({instance, Lower(class_name)});
    if (c == g_classes.end()) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return 0;
    }
    TQueue& q = OwnQueueLocked();
    hwnd = g_next_window;
    g_next_window += 2;
    TWindow w;
    w.class_key = c->first;
    w.proc = proc = c->second.wc.lpfnWndProc;
    w.thread = q.thread;
    w.extra.assign(static_cast<std::size_t>(c->second.wc.cbWndExtra), 0);
    g_windows[hwnd] = std::move(w);
    ++c->second.windows;
  }
  // The procedure sees the window before anything is stored in it.
  if (proc(hwnd, WM_NCCREATE, 0, 0) == 0 || proc(hwnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  WNDPROC proc;
  {
    std::lock_guard lock(g_mutex);
    auto w = g_windows.find(hwnd);
    if (w == g_windows.end() || w->second.destroying) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    w->second.destroying = true;
    proc = w->second.proc;
  }
  proc(hwnd, WM_DESTROY, 0, 0);
  proc(hwnd, WM_NCDESTROY, 0, 0);
  std::lock_guard lock(g_mutex);
  auto w = g_windows.find(hwnd);
  if (w == g_windows.end()) return 1;
  auto c = g_classes.find(w->second.class_key);
  if (c != g_classes.end()) --c->second.windows;
  auto q = g_queues.find(w->second.thread);
  if (q != g_queues.end()) {
    auto& e = q->second->entries;
    e.erase(
        std::remove_if(e.begin(), e.end(), [hwnd](const TEntry& t) { return t.msg.hwnd == hwnd; }),
        e.end());
  }
  g_windows.erase(w);
  return 1;
}

BOOL IsWindow(HWND hwnd) {
  std::lock_guard lock(g_mutex);
  auto w = g_windows.find(hwnd);
  return w != g_windows.end() && !w->second.destroying;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* process_id) {
  std::lock_guard lock(g_mutex);
  auto w = g_windows.find(hwnd);
  if (w == g_windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (process_id) *process_id = static_cast<DWORD>(::getpid());
  return w->second.thread;
}

namespace {

// The `size` bytes at `index` of a window's extra slots; null, with the last
// error set, for an unknown window or a slot outside the window's bytes.
// The caller holds g_mutex.
std::uint8_t* ExtraSlot(HWND hwnd, int index, std::size_t size) {
  auto w = g_windows.find(hwnd);
  if (w == g_windows.end()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto& extra = w->second.extra;
  if (index < 0 || static_cast<std::size_t>(index) + size > extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return nullptr;
  }
  return extra.data() + index;
}

template <class T>
T SetExtra(HWND hwnd, int index, T value) {
  std::lock_guard lock(g_mutex);
  std::uint8_t* slot = ExtraSlot(hwnd, index, sizeof(T));
  if (!slot) return 0;
  T previous;
  std::memcpy(&previous, slot, sizeof(T));
  std::memcpy(slot, &value, sizeof(T));
  SetLastError(0);
  return previous;
}

template <class T>
T GetExtra(HWND hwnd, int index) {
  std::lock_guard lock(g_mutex);
  const std::uint8_t* slot = ExtraSlot(hwnd, index, sizeof(T));
  if (!slot) return 0;
  T value;
  std::memcpy(&value, slot, sizeof(T));
  return value;
}

}  // namespace

LONG SetWindowLong(HWND hwnd, int index, LONG value) {
  return SetExtra(hwnd, index, value);
}
LONG GetWindowLong(HWND hwnd, int index) {
  return GetExtra<LONG>(hwnd, index);
}
LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
  return SetExtra(hwnd, index, value);
}
LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
  return GetExtra<LONG_PTR>(hwnd, index);
}

LRESULT DefWindowProc(HWND, UINT msg, WPARAM, LPARAM) {
  return msg == WM_NCCREATE ? 1 : 0;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc;
  {
    std::lock_guard lock(g_mutex);
    auto w = g_windows.find(hwnd);
    if (w == g_windows.end()) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (w->second.thread != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    proc = w->second.proc;
  }
  return proc(hwnd, msg, wparam, lparam);
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(g_mutex);
  return PostLocked(hwnd, msg, wparam, lparam, 0);
}

BOOL PostTaggedMessage(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, std::uint64_t tag) {
  std::lock_guard lock(g_mutex);
  return PostLocked(hwnd, msg, wparam, lparam, tag);
}

bool RecallTaggedMessage(std::uint64_t tag) {
  std::lock_guard lock(g_mutex);
  for (auto& [thread, q] : g_queues) {
    for (auto it = q->entries.begin(); it != q->entries.end(); ++it) {
      if (it->tag == tag) {
        q->entries.erase(it);
        return true;
      }
    }
  }
  return false;
}

bool IsTaggedMessageQueued(std::uint64_t tag) {
  std::lock_guard lock(g_mutex);
  for (auto& [thread, q] : g_queues)
    for (auto& e : q->entries)
      if (e.tag == tag) return true;
  return false;
}

BOOL PostThreadMessage(DWORD thread_id, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(g_mutex);
  auto q = g_queues.find(thread_id);
  if (q == g_queues.end()) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return 0;
  }
  q->second->entries.push_back(TEntry{MSG{0, msg, wparam, lparam, Tick()}, 0});
  WakeLocked(*q->second);
  return 1;
}

void PostQuitMessage(int exit_code) {
  std::lock_guard lock(g_mutex);
  TQueue& q = OwnQueueLocked();
  q.quit = true;
  q.exit_code = exit_code;
  q.ready.notify_all();
}

BOOL GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  std::unique_lock lock(g_mutex);
  // Keep the queue alive across the wait, whatever happens to the map.
  OwnQueueLocked();
  std::shared_ptr<TQueue> q = g_queues[GetCurrentThreadId()];
  q->ready.wait(lock, [&] { return TakeLocked(*q, nullptr, hwnd, min, max, false); });
  TakeLocked(*q, msg, hwnd, min, max, true);
  return msg->message == WM_QUIT ? 0 : 1;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove) {
  std::lock_guard lock(g_mutex);
  TQueue& q = OwnQueueLocked();
  return TakeLocked(q, msg, hwnd, min, max, (remove & PM_REMOVE) != 0) ? 1 : 0;
}

BOOL TranslateMessage(const MSG*) {
  return 0;
}  // no keyboard messages here

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg || msg->hwnd == 0) return 0;
  {
    std::lock_guard lock(g_mutex);
    auto w = g_windows.find(msg->hwnd);
    // Only the window's own thread handles its messages.
    if (w == g_windows.end() || w->second.destroying || w->second.thread != GetCurrentThreadId())
      return 0;
  }
  WNDPROC proc = ProcOf(msg->hwnd);
  return proc ? proc(msg->hwnd, msg->message, msg->wParam, msg->lParam) : 0;
}

int WindowCount() {
  std::lock_guard lock(g_mutex);
  return static_cast<int>(g_windows.size());
}

int QueuedMessageCount() {
  std::lock_guard lock(g_mutex);
  auto q = g_queues.find(GetCurrentThreadId());
  return q == g_queues.end() ? 0 : static_cast<int>(q->second->entries.size());
}

}  // namespace platform
