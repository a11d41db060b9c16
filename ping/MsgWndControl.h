// Hidden-window message dispatch: components that receive platform
// notifications (TMsgWndControl) share per-thread hidden windows, each run
// by a TMsgWndHandler with 100 message slots; a process-wide pool keeps the
// handlers by thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Messages.h"
#include "platform/Sync.h"
#include "toolkit/Classes.h"
#include "toolkit/Messages.h"  // TMessage: the message record of the dispatch chain
#include "toolkit/SysUtils.h"

class EMsgWndException : public Exception {
 public:
  using Exception::Exception;
};

using TMsgWndErrorEvent = TEvent<TObject* /*Sender*/, const Exception& /*E*/, bool& /*CanAbort*/>;
using TUnclaimedMessageEvent = TEvent<TObject* /*Sender*/, TMessage& /*Msg*/, bool& /*Handled*/>;

inline constexpr int kMsgSlotCount = 100;
inline constexpr platform::UINT kFirstMsgNumber = platform::WM_USER + 1;  // 1025
inline constexpr const char* kHiddenWindowClassName = "MsgWndControlWindowClass";

class TMsgWndControl;
class TMsgWndHandlerList;

class TMsgWndHandler : public TObject {
 public:
  TMsgWndHandler() = default;
  ~TMsgWndHandler() override;

  platform::HWND Handle() const { return handle_; }
  void CreateHiddenWindow();
  void DestroyHiddenWindow();
  // Returns the message number now reserved for `control`.
  platform::UINT ReserveMessage(TMsgWndControl* control);
  // Frees the slot of `number` and sets `number` to 0.
  void ReturnMessage(platform::UINT& number);
  int FreeSlotCount() const { return kMsgSlotCount - SlotsUsed; }
  void WndProc(TMessage& message);

  TMsgWndControl* SlotTable[kMsgSlotCount] = {};
  platform::UINT MsgLow = 0;
  std::int32_t SlotsUsed = 0;
  TMsgWndHandlerList* ThreadGroup = nullptr;
  TMsgWndErrorEvent OnMessageError;
  TUnclaimedMessageEvent OnUnclaimedMessage;

 private:
  platform::HWND handle_ = 0;
};

class TMsgWndHandlerList : public TObject {
 public:
  explicit TMsgWndHandlerList(platform::DWORD thread_id) : ThreadId(thread_id) {}
  std::vector<TMsgWndHandler*> Handlers;
  platform::DWORD ThreadId;
};

class TMsgWndHandlerPool : public TObject {
 public:
  TMsgWndHandlerPool();
  ~TMsgWndHandlerPool() override;

  void Lock();
  void Unlock();
  TMsgWndHandler* AcquireHandler(int slots_needed, platform::DWORD thread_id);
  void ReleaseHandler(TMsgWndHandler*& handler);
  const std::vector<TMsgWndHandlerList*>& Lists() const { return lists_; }

 private:
  std::vector<TMsgWndHandlerList*> lists_;
  platform::CRITICAL_SECTION lock_;
};

// Process-wide state; made by MsgWndStartup before any component and freed
// by MsgWndShutdown after the last.
extern TMsgWndHandlerPool* SharedPool;
extern platform::CRITICAL_SECTION* WindowClassLock;
extern std::int32_t HiddenWindowCount;

// Program start-up and shut-down of the hidden-window machinery. A component
// created without start-up (a test, say) starts it on first use. Shut-down
// keeps everything while hidden windows still exist.
void MsgWndStartup();
void MsgWndShutdown();

class TMsgWndControl : public TComponent {
 public:
  explicit TMsgWndControl(TComponent* owner);
  ~TMsgWndControl() override;

  // The hidden window, acquired on first use (0 once retired).
  platform::HWND Handle();
  platform::HWND HandleAllocated() const { return handle_; }
  platform::DWORD ThreadId() const { return thread_id_; }
  bool LoopEnded() const { return loop_ended_; }
  bool OwnLoop() const { return own_loop_; }
  void SetOwnLoop(bool own_loop) { own_loop_ = own_loop; }
  TMsgWndHandler* WndHandler() const { return wnd_handler_; }
  platform::UINT ReleaseMsgNumber() const { return release_msg_number_; }

  TMsgWndErrorEvent OnMessageError;

  virtual void RetireWindow();
  virtual void WndProc(TMessage& message);
  virtual void GuardMessageError(const Exception& e);
  virtual void ReportMessageError(const Exception& e, bool& can_abort);
  virtual void ReleaseMessageArrived(TMessage& message);
  virtual void AcquireWindow();
  virtual void ReleaseWindow();
  virtual int MsgSlotsNeeded();
  virtual void RegisterMsgs();
  virtual void UnregisterMsgs();
  virtual void AbortAfterError();
  // Destroys the component from its own message loop, later.
  virtual void FreeLater();
  virtual void AttachToThread();
  virtual void DetachFromThread();
  virtual void RunMessageLoop();
  virtual bool HandleOneMessage();
  virtual void DrainMessages();
  virtual void PumpMessages();

 private:
  // Gives the handler back to the pool when no slot of it is used, and
  // forgets the window.
  void LeaveWindow(TMsgWndHandlerPool& pool);

  bool finalised_ = false;
  platform::HWND handle_ = 0;
  platform::DWORD thread_id_ = 0;
  bool loop_ended_ = false;
  bool own_loop_ = false;
  TMsgWndHandler* wnd_handler_ = nullptr;
  platform::UINT release_msg_number_ = 0;
};
