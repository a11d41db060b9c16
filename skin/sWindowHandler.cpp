#include "skin/sWindowHandler.h"

TsWindowHandler::TsWindowHandler(TControl* control) : control_(control) {
  if (control_ == nullptr) return;
  previous_ = control_->WindowProc();
  control_->SetWindowProc(TWndMethod(this, &TsWindowHandler::Receive));
  attached_ = true;
}

TsWindowHandler::~TsWindowHandler() {
  Detach();
}

void TsWindowHandler::Detach() {
  attached_ = false;
  // Only the head of the chain can be taken out; otherwise the next handler
  // still calls Receive, which now only passes messages on (and takes this
  // one out when that one detaches and this becomes the head again).
  if (control_ != nullptr && control_->WindowProc().Data() == this)
    control_->SetWindowProc(previous_);
}

void TsWindowHandler::CallPrevious(TMessage& message) {
  if (previous_) {
    previous_(message);
  } else {
    control_->WndProc(message);
  }
}

void TsWindowHandler::Receive(TMessage& message) {
  if (attached_) {
    WndProc(message);
  } else {
    CallPrevious(message);
  }
}
