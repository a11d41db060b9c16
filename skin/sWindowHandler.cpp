#include "skin/sWindowHandler.h"

#include <unordered_set>

namespace {

// Handlers alive now (GUI thread only): a chain entry whose object is one of
// them is a handler's Receive.
std::unordered_set<const void*>& LiveHandlers() {
  static std::unordered_set<const void*> live;
  return live;
}

}  // namespace

TsWindowHandler::TsWindowHandler(TControl* control) : control_(control) {
  LiveHandlers().insert(this);
  if (control_ == nullptr) return;
  previous_ = control_->WindowProc();
  if (LiveHandlers().count(previous_.Data()) != 0) {
    below_ = static_cast<TsWindowHandler*>(const_cast<void*>(previous_.Data()));
    below_->above_ = this;
  }
  control_->SetWindowProc(TWndMethod(this, &TsWindowHandler::Receive));
  attached_ = true;
  linked_ = true;
}

TsWindowHandler::~TsWindowHandler() {
  Detach();
  LiveHandlers().erase(this);
}

void TsWindowHandler::Detach() {
  attached_ = false;
  if (!linked_ || control_ == nullptr) return;
  if (control_->WindowProc().Data() == this) {
    control_->SetWindowProc(previous_);
  } else if (above_ != nullptr) {
    above_->previous_ = previous_;
    above_->below_ = below_;
  } else {
    // Something other than a handler holds the chain above this one: stay
    // in it and pass messages on.
    return;
  }
  if (below_ != nullptr) below_->above_ = above_;
  below_ = nullptr;
  above_ = nullptr;
  linked_ = false;
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
