// Alignment and anchors: aligned children stack along the parent's client
// area (top, bottom, left, right, then client fills what is left); anchored
// ones keep their distances to the anchored sides when the parent resizes.
#include <algorithm>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Guards.h"

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
}

void TControl::RequestAlign() {
  if (parent_ && align_ != alNone) parent_->Realign();
}

void TWinControl::EnableAlign() {
  if (align_disabled_ > 0 && --align_disabled_ == 0 && (ControlState() & csAlignmentNeeded))
    Realign();
}

void TWinControl::Realign() {
  if (align_disabled_ > 0 || IsLoading() || aligning_) {
    SetControlState(ControlState() | csAlignmentNeeded);
    return;
  }
  SetControlState(ControlState() & ~csAlignmentNeeded);
  const TFlagScope aligning(aligning_);
  TRect rect = ClientRect();
  AlignControls(nullptr, rect);
}

void TWinControl::AdjustClientRect(TRect& rect) const {
  rect = Rect(rect.Left + border_width_, rect.Top + border_width_, rect.Right - border_width_,
              rect.Bottom - border_width_);
}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  AdjustClientRect(rect);
  DoAlign(alTop, control, rect);
  DoAlign(alBottom, control, rect);
  DoAlign(alLeft, control, rect);
  DoAlign(alRight, control, rect);
  DoAlign(alClient, control, rect);
}

void TWinControl::DoAlign(TAlign align, TControl* control, TRect& rect) {
  // The stacking order among controls of one kind follows their current
  // positions; the control being aligned wins ties.
  auto before = [align](const TControl* a, const TControl* b) {
    switch (align) {
      case alTop:
        return a->Top() < b->Top();
      case alBottom:
        return a->Top() + a->Height() >= b->Top() + b->Height();
      case alLeft:
        return a->Left() < b->Left();
      case alRight:
        return a->Left() + a->Width() >= b->Left() + b->Width();
      default:
        return false;
    }
  };
  std::vector<TControl*> list;
  if (control && control->Align() == align && control->Visible()) list.push_back(control);
  for (TControl* c : controls_) {
    if (c == control || c->Align() != align || !c->Visible()) continue;
    std::size_t j = 0;
    while (j < list.size() && !before(c, list[j])) ++j;
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(j), c);
  }
  for (TControl* c : list) {
    const int w = std::max(0, rect.Width());
    const int h = std::max(0, rect.Height());
    switch (align) {
      case alTop:
        c->SetBounds(rect.Left, rect.Top, w, c->Height());
        rect.Top += c->Height();
        break;
      case alBottom:
        c->SetBounds(rect.Left, rect.Bottom - c->Height(), w, c->Height());
        rect.Bottom -= c->Height();
        break;
      case alLeft:
        c->SetBounds(rect.Left, rect.Top, c->Width(), h);
        rect.Left += c->Width();
        break;
      case alRight:
        c->SetBounds(rect.Right - c->Width(), rect.Top, c->Width(), h);
        rect.Right -= c->Width();
        break;
      case alClient:
        c->SetBounds(rect.Left, rect.Top, w, h);
        break;
      default:
        break;
    }
  }
}

void TWinControl::ChildAnchorsResize(int dx, int dy) {
  if (dx == 0 && dy == 0) return;
  for (TControl* c : controls_) {
    if (c->Align() != alNone) continue;
    const TAnchors a = c->Anchors();
    int l = c->Left(), t = c->Top(), w = c->Width(), h = c->Height();
    if (a & akRight) {
      if (a & akLeft)
        w += dx;
      else
        l += dx;
    }
    if (a & akBottom) {
      if (a & akTop)
        h += dy;
      else
        t += dy;
    }
    c->SetBounds(l, t, w, h);
  }
}
