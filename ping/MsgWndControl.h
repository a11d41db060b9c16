// TMsgWndControl: base of components that receive platform notifications on
// a hidden window. (Interim form: owner, window handle value and message
// numbers only; messages are not delivered yet.)
#pragma once

#include <cstdint>

#include "toolkit/Classes.h"

class TMsgWndControl : public TComponent {
 public:
  explicit TMsgWndControl(TComponent* owner) : TComponent(owner) {}

  std::uintptr_t Handle() { return handle_; }

 protected:
  virtual int MsgSlotsNeeded() { return 1; }
  virtual void RegisterMsgs() { release_msg_number_ = 1025; }
  virtual void UnregisterMsgs() { release_msg_number_ = 0; }
  void AcquireWindow() {
    if (handle_ != 0) return;
    handle_ = 1;
    RegisterMsgs();
  }
  void ReleaseWindow() {
    if (handle_ == 0) return;
    UnregisterMsgs();
    handle_ = 0;
  }
  std::uint32_t ReserveMessage() { return 1026; }

 private:
  std::uintptr_t handle_ = 0;
  std::uint32_t release_msg_number_ = 0;
};
