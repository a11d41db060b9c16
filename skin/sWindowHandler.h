// A handler that takes over a control's message chain at run time and hands
// it back later: the memo's skinned frame and the form's provider work this
// way. While attached, every message the control is sent reaches WndProc
// first; what it does not handle it passes on with CallPrevious.
#pragma once

#include "toolkit/Controls.h"

class TsWindowHandler {
 public:
  // Attaches at once.
  explicit TsWindowHandler(TControl* control);
  // Detaches.
  virtual ~TsWindowHandler();
  TsWindowHandler(const TsWindowHandler&) = delete;
  TsWindowHandler& operator=(const TsWindowHandler&) = delete;

  TControl* Control() const { return control_; }
  bool Attached() const { return attached_; }
  // Gives the chain back. When a handler attached after this one is still
  // in the chain, this one stays in it and only passes messages on; it must
  // then live until that one has detached (detach in the reverse order).
  void Detach();

 protected:
  virtual void WndProc(TMessage& message) { CallPrevious(message); }
  // The chain as it was before this handler took it over.
  void CallPrevious(TMessage& message);

 private:
  void Receive(TMessage& message);

  TControl* control_;
  TWndMethod previous_;
  bool attached_ = false;
};
