#include "ping/MsgWndControl.h"

#include "toolkit/Forms.h"
#include "toolkit/Guards.h"

#include <QCoreApplication>
#include <algorithm>
#include <mutex>

using namespace platform;

TMsgWndHandlerPool* SharedPool = nullptr;
CRITICAL_SECTION* WindowClassLock = nullptr;
std::int32_t HiddenWindowCount = 0;

namespace {

std::mutex g_startup_mutex;

void StartupLocked() {
  if (!WindowClassLock) {
    WindowClassLock = new CRITICAL_SECTION;
    InitializeCriticalSection(WindowClassLock);
  }
  if (!SharedPool) SharedPool = new TMsgWndHandlerPool;
}

TMsgWndHandlerPool& Pool() {
  std::lock_guard lock(g_startup_mutex);
  StartupLocked();
  return *SharedPool;
}

std::string ErrorText(DWORD error) {
  return std::to_string(error) + ".";
}

// The hidden windows' procedure: the handler lives in extra slot 0; a window
// with nothing stored (yet or any more) gets the default treatment.
LRESULT HiddenWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  const DWORD saved = GetLastError();
  auto* handler = reinterpret_cast<TMsgWndHandler*>(GetWindowLongPtr(hwnd, 0));
  SetLastError(saved);
  if (!handler) return DefWindowProc(hwnd, msg, wparam, lparam);
  TMessage message{msg, wparam, lparam, 0};
  handler->WndProc(message);
  return message.Result;
}

// Pool lock for a scope.
class TPoolLock {
 public:
  explicit TPoolLock(TMsgWndHandlerPool& pool) : pool_(pool) { pool_.Lock(); }
  ~TPoolLock() { pool_.Unlock(); }
  TPoolLock(const TPoolLock&) = delete;
  TPoolLock& operator=(const TPoolLock&) = delete;

 private:
  TMsgWndHandlerPool& pool_;
};

}  // namespace

void MsgWndStartup() {
  std::lock_guard lock(g_startup_mutex);
  StartupLocked();
}

void MsgWndShutdown() {
  std::lock_guard lock(g_startup_mutex);
  // Components still alive keep what they use.
  if (HiddenWindowCount > 0 || (SharedPool && !SharedPool->Lists().empty())) return;
  delete SharedPool;
  SharedPool = nullptr;
  if (WindowClassLock) {
    DeleteCriticalSection(WindowClassLock);
    delete WindowClassLock;
    WindowClassLock = nullptr;
  }
}

// ---- TMsgWndHandler

TMsgWndHandler::~TMsgWndHandler() {
  if (handle_ != 0) DestroyHiddenWindow();
}

void TMsgWndHandler::CreateHiddenWindow() {
  if (handle_ != 0) return;
  {
    std::lock_guard lock(g_startup_mutex);
    StartupLocked();
  }
  TCriticalSectionLock lock(WindowClassLock);
  WNDCLASS wc;
  if (!GetClassInfo(MainInstance(), kHiddenWindowClassName, &wc)) {
    wc = WNDCLASS{};
    wc.lpfnWndProc = &HiddenWndProc;
    // Slot 0 holds the handler: as many bytes as a pointer needs.
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = MainInstance();
    wc.lpszClassName = kHiddenWindowClassName;
    if (RegisterClass(&wc) == 0)
      throw EMsgWndException("Unable to register TMsgWndControl hidden window class. Error #" +
                             ErrorText(GetLastError()));
  }
  const HWND hwnd = CreateWindowEx(WS_EX_TOOLWINDOW, kHiddenWindowClassName, "", WS_POPUP, 0, 0, 0,
                                   0, 0, 0, MainInstance(), nullptr);
  if (hwnd == 0)
    throw EMsgWndException("Unable to create TMsgWndControl hidden window.  Error #" +
                           ErrorText(GetLastError()));
  handle_ = hwnd;
  SetWindowLongPtr(handle_, 0, reinterpret_cast<LONG_PTR>(this));
  ++HiddenWindowCount;
}

void TMsgWndHandler::DestroyHiddenWindow() {
  if (handle_ == 0) return;
  std::fill(std::begin(SlotTable), std::end(SlotTable), nullptr);
  SlotsUsed = 0;
  SetWindowLongPtr(handle_, 0, 0);
  DestroyWindow(handle_);
  handle_ = 0;
  TCriticalSectionLock lock(WindowClassLock);
  --HiddenWindowCount;
  if (HiddenWindowCount <= 0) UnregisterClass(kHiddenWindowClassName, MainInstance());
}

UINT TMsgWndHandler::ReserveMessage(TMsgWndControl* control) {
  if (MsgLow < platform::WM_USER) throw EMsgWndException("MsgLow not defined");
  if (SlotsUsed >= kMsgSlotCount) throw EMsgWndException("No more free message");
  for (int i = 0; i < kMsgSlotCount; ++i) {
    if (SlotTable[i] != nullptr) continue;
    SlotTable[i] = control;
    ++SlotsUsed;
    if (handle_ == 0) CreateHiddenWindow();
    return MsgLow + static_cast<UINT>(i);
  }
  throw EMsgWndException("No more free message");
}

void TMsgWndHandler::ReturnMessage(UINT& number) {
  if (number == 0) return;
  if (MsgLow < platform::WM_USER) throw EMsgWndException("MsgLow not defined");
  if (number < MsgLow || number >= MsgLow + kMsgSlotCount)
    throw EMsgWndException("Msg value out of bound");
  TMsgWndControl*& slot = SlotTable[number - MsgLow];
  if (slot == nullptr) throw EMsgWndException("Msg not registered");
  slot = nullptr;
  --SlotsUsed;
  number = 0;
  if (SlotsUsed == 0) DestroyHiddenWindow();
}

void TMsgWndHandler::WndProc(TMessage& message) {
  try {
    if (message.Msg >= MsgLow && message.Msg < MsgLow + kMsgSlotCount) {
      if (TMsgWndControl* control = SlotTable[message.Msg - MsgLow]) {
        // The control may free itself (and this handler) in there.
        control->WndProc(message);
        return;
      }
    }
    bool handled = false;
    if (OnUnclaimedMessage) {
      OnUnclaimedMessage(this, message, handled);
      if (handled) return;
    }
    message.Result = DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
  } catch (const Exception& e) {
    if (OnMessageError) {
      bool can_abort = true;
      try {
        OnMessageError(this, e, can_abort);
      } catch (const Exception&) {
        // Nothing of the handler's error path may reach the loop either.
      }
    }
  }
}

// ---- TMsgWndHandlerPool

TMsgWndHandlerPool::TMsgWndHandlerPool() {
  InitializeCriticalSection(&lock_);
}

TMsgWndHandlerPool::~TMsgWndHandlerPool() {
  for (TMsgWndHandlerList* list : lists_) {
    for (TMsgWndHandler* handler : list->Handlers) delete handler;
    delete list;
  }
  DeleteCriticalSection(&lock_);
}

void TMsgWndHandlerPool::Lock() {
  EnterCriticalSection(&lock_);
}
void TMsgWndHandlerPool::Unlock() {
  LeaveCriticalSection(&lock_);
}

TMsgWndHandler* TMsgWndHandlerPool::AcquireHandler(int slots_needed, DWORD thread_id) {
  TMsgWndHandlerList* list = nullptr;
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it) {
    if ((*it)->ThreadId == thread_id) {
      list = *it;
      break;
    }
  }
  if (!list) {
    list = new TMsgWndHandlerList(thread_id);
    lists_.push_back(list);
  }
  for (TMsgWndHandler* handler : list->Handlers)
    if (handler->FreeSlotCount() >= slots_needed) return handler;
  auto* handler = new TMsgWndHandler;
  handler->ThreadGroup = list;
  handler->MsgLow = kFirstMsgNumber;
  list->Handlers.push_back(handler);
  return handler;
}

void TMsgWndHandlerPool::ReleaseHandler(TMsgWndHandler*& handler) {
  if (!handler || !handler->ThreadGroup) return;
  TMsgWndHandlerList* list = handler->ThreadGroup;
  auto it = std::find(list->Handlers.begin(), list->Handlers.end(), handler);
  if (it == list->Handlers.end()) return;
  list->Handlers.erase(it);
  if (list->Handlers.empty()) {
    lists_.erase(std::find(lists_.begin(), lists_.end(), list));
    delete list;
  }
  delete handler;
  handler = nullptr;
}

// ---- TMsgWndControl

TMsgWndControl::TMsgWndControl(TComponent* owner) : TComponent(owner) {}

TMsgWndControl::~TMsgWndControl() {
  try {
    RetireWindow();
  } catch (const Exception&) {
    // Destruction goes on; the slot is lost with the window.
  }
}

HWND TMsgWndControl::Handle() {
  if (handle_ == 0 && !finalised_) AcquireWindow();
  return handle_;
}

void TMsgWndControl::RetireWindow() {
  if (finalised_) return;
  ReleaseWindow();
  finalised_ = true;
}

void TMsgWndControl::WndProc(TMessage& message) {
  try {
    if (release_msg_number_ != 0 && message.Msg == release_msg_number_)
      ReleaseMessageArrived(message);
    else
      message.Result = DefWindowProc(handle_, message.Msg, message.WParam, message.LParam);
  } catch (const Exception& e) {
    GuardMessageError(e);
  }
}

void TMsgWndControl::GuardMessageError(const Exception& e) {
  bool can_abort = true;
  if (OnMessageError) {
    try {
      ReportMessageError(e, can_abort);
    } catch (const Exception&) {
      // A failing error handler is not reported in turn: an error from a
      // message ends at this window, and the abort below still runs.
    }
  }
  if (can_abort) {
    try {
      AbortAfterError();
    } catch (const Exception&) {
      // Nothing is left to report a failed abort to: the message's error
      // ends at this window.
    }
  }
}

void TMsgWndControl::ReportMessageError(const Exception& e, bool& can_abort) {
  OnMessageError(this, e, can_abort);
}

void TMsgWndControl::ReleaseMessageArrived(TMessage&) {
  delete this;
}

void TMsgWndControl::AcquireWindow() {
  if (handle_ != 0) return;
  thread_id_ = GetCurrentThreadId();
  TMsgWndHandlerPool& pool = Pool();
  TPoolLock lock(pool);
  // On failure, leave without a window: give back what was registered.
  TScopeExit undo([this, &pool] {
    try {
      if (wnd_handler_) UnregisterMsgs();
    } catch (const Exception&) {
      // The error that stopped the acquiring is the one to report.
    }
    LeaveWindow(pool);
  });
  if (!wnd_handler_) wnd_handler_ = pool.AcquireHandler(MsgSlotsNeeded(), thread_id_);
  wnd_handler_->CreateHiddenWindow();
  handle_ = wnd_handler_->Handle();
  RegisterMsgs();
  undo.Dismiss();
}

void TMsgWndControl::ReleaseWindow() {
  if (handle_ == 0) return;
  TMsgWndHandlerPool& pool = Pool();
  TPoolLock lock(pool);
  // The window is left even when unregistering fails.
  const TScopeExit leave([this, &pool] { LeaveWindow(pool); });
  UnregisterMsgs();
}

void TMsgWndControl::LeaveWindow(TMsgWndHandlerPool& pool) {
  if (wnd_handler_ && wnd_handler_->SlotsUsed <= 0) pool.ReleaseHandler(wnd_handler_);
  handle_ = 0;
  wnd_handler_ = nullptr;
  thread_id_ = 0;
}

int TMsgWndControl::MsgSlotsNeeded() {
  return 1;
}

void TMsgWndControl::RegisterMsgs() {
  release_msg_number_ = wnd_handler_->ReserveMessage(this);
}

void TMsgWndControl::UnregisterMsgs() {
  if (wnd_handler_) wnd_handler_->ReturnMessage(release_msg_number_);
}

void TMsgWndControl::AbortAfterError() {}

void TMsgWndControl::FreeLater() {
  const HWND hwnd = Handle();  // acquires, and so registers the release message
  PostMessage(hwnd, release_msg_number_, 0, 0);
}

void TMsgWndControl::AttachToThread() {
  if (handle_ != 0) throw EMsgWndException("Cannot attach when not detached");
  AcquireWindow();
}

void TMsgWndControl::DetachFromThread() {
  if (GetCurrentThreadId() != thread_id_)
    throw EMsgWndException("Cannot detach from another thread");
  ReleaseWindow();
}

void TMsgWndControl::RunMessageLoop() {
  MSG msg;
  while (GetMessage(&msg, 0, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessage(&msg);
  }
  loop_ended_ = true;
}

bool TMsgWndControl::HandleOneMessage() {
  MSG msg;
  if (!PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) return false;
  if (msg.message == platform::WM_QUIT) {
    loop_ended_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessage(&msg);
  return true;
}

void TMsgWndControl::DrainMessages() {
  while (HandleOneMessage()) {
  }
}

void TMsgWndControl::PumpMessages() {
  // The application's message pass pumps this thread's queue as well.
  if (own_loop_ || !QCoreApplication::instance() || !Application)
    DrainMessages();
  else
    Application->ProcessMessages();
}
