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
  // Gives the chain back. A handler attached after this one and still in the
  // chain is relinked to the one before, so handlers may detach and be
  // destroyed in any order. Only when something other than a handler took
  // the chain over after this one does this one stay in it, passing
  // messages on; it must then outlive that taker.
  void Detach();

 protected:
  virtual void WndProc(TMessage& message) { CallPrevious(message); }
  // The chain as it was before this handler took it over.
  void CallPrevious(TMessage& message);

 private:
  void Receive(TMessage& message);

  TControl* control_;
  TWndMethod previous_;
  // Neighbours in the chain when they are handlers too: the one this one
  // took the chain over from, and the one that took it over from this one.
  TsWindowHandler* below_ = nullptr;
  TsWindowHandler* above_ = nullptr;
  bool attached_ = false;
  bool linked_ = false;
};
