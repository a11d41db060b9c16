// How the skin data follows the messages its control has handled: moving
// and sizing, focus, enabling, cancel mode, showing and hiding, and the
// pointer entering and leaving (PointerIn / PointerOut).
#include "skin/sCommonData.h"

#include "skin/sFadeAnimation.h"
#include "skin/sSkinManager.h"
#include "toolkit/Controls.h"

void TsCommonData::React(const TMessage& m) {
  TControl* c = owner_control_;
  if (c == nullptr) return;
  switch (m.Msg) {
    case WM_MOVE:
    case WM_SIZE: {
      bg_changed_ = true;
      if (TWinControl* parent = c->Parent()) {
        const TRect inside = Rect(0, 0, parent->ClientWidth(), parent->ClientHeight());
        half_visible_ = c->BoundsRect().Intersect(inside) != c->BoundsRect();
      }
      if (DependsOnParent()) SkinCommand(c, TsCommand::ParentBackDirty);
      if (m.Msg == WM_SIZE) {
        if (auto* win = dynamic_cast<TWinControl*>(c)) {
          for (int i = 0; i < win->ControlCount(); ++i) {
            TControl* child = win->Controls(i);
            if ((child->Anchors() & (akRight | akBottom)) == 0)
              SkinCommand(child, TsCommand::ParentBackDirty);
          }
        }
      }
      Invalidate();
      break;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      auto* win = dynamic_cast<TWinControl*>(c);
      if (win == nullptr || !win->CanFocus()) break;
      focused_ = m.Msg == WM_SETFOCUS;
      LookChanged();
      break;
    }
    case CM_ENABLEDCHANGED:
      if (!c->Enabled()) focused_ = mouse_above_ = false;
      LookChanged();
      break;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      focused_ = mouse_above_ = false;
      LookChanged();
      break;
    case CM_VISIBLECHANGED:
      if (c->Visible()) {
        updating_ = false;
        bg_changed_ = true;
      } else {
        fade_.reset();
        cache_.SetSize(0, 0);
        cache_state_ = -1;
      }
      break;
    case CM_MOUSEENTER:
      SkinCommand(c, TsCommand::PointerIn);
      break;
    case CM_MOUSELEAVE:
      SkinCommand(c, TsCommand::PointerOut);
      break;
    default:
      break;
  }
}

void TsCommonData::PointerIn() {
  // A disabled control shows no hot look.
  if (!KindShowsHotState(kind_) || (owner_control_ != nullptr && !owner_control_->Enabled()))
    return;
  if (TsSkinManager* m = Manager()) m->SetHotControl(owner_control_);
  if (mouse_above_) return;
  mouse_above_ = true;
  LookChanged();
}

void TsCommonData::PointerOut() {
  if (TsSkinManager* m = Manager(); m != nullptr && m->HotControl() == owner_control_)
    m->SetHotControl(nullptr);
  if (!mouse_above_) return;
  mouse_above_ = false;
  LookChanged();
}
