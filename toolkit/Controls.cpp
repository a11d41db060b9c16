#include "toolkit/Controls.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "toolkit/Forms.h"
#include "toolkit/SysUtils.h"
#include "toolkit/WidgetBridge.h"

namespace {

constexpr const char* kControlProperty = "sonarix.TWinControl";

QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}

TShiftState ShiftFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (mods & Qt::ShiftModifier) s |= ssShift;
  if (mods & Qt::AltModifier) s |= ssAlt;
  if (mods & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

TShiftState ShiftFromKeys(std::uintptr_t keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  return s;
}

std::uintptr_t KeysFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  std::uintptr_t k = 0;
  if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (mods & Qt::ControlModifier) k |= MK_CONTROL;
  if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  return k;
}

std::uint16_t VirtualKey(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return static_cast<std::uint16_t>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9)
    return static_cast<std::uint16_t>('0' + (key - Qt::Key_0));
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
    return static_cast<std::uint16_t>(VK_F1 + (key - Qt::Key_F1));
  switch (key) {
    case Qt::Key_Backspace:
      return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return VK_RETURN;
    case Qt::Key_Shift:
      return VK_SHIFT;
    case Qt::Key_Control:
      return VK_CONTROL;
    case Qt::Key_Alt:
      return VK_MENU;
    case Qt::Key_Escape:
      return VK_ESCAPE;
    case Qt::Key_Space:
      return VK_SPACE;
    case Qt::Key_PageUp:
      return VK_PRIOR;
    case Qt::Key_PageDown:
      return VK_NEXT;
    case Qt::Key_End:
      return VK_END;
    case Qt::Key_Home:
      return VK_HOME;
    case Qt::Key_Left:
      return VK_LEFT;
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Right:
      return VK_RIGHT;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Insert:
      return VK_INSERT;
    case Qt::Key_Delete:
      return VK_DELETE;
    default:
      return static_cast<std::uint16_t>(key & 0xFFFF);
  }
}

// Forwards the input of a sub-widget (an editor inside a combo box, a
// memo's viewport) to the control that owns it.
class TEventForwarder : public QObject {
 public:
  explicit TEventForwarder(TWinControl* control) : control_(control) {}
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Enter:
      case QEvent::Leave:
      case QEvent::ToolTip:
        return control_->WidgetEvent(watched, e, [] { return false; });
      default:
        return false;
    }
  }

 private:
  TWinControl* control_;
};

}  // namespace

QString ToQText(const std::string& text) {
  return ToQString(text);
}

Qt::CursorShape CursorShape(TCursor cursor) {
  switch (cursor) {
    case crNone:
      return Qt::BlankCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crNo:
      return Qt::ForbiddenCursor;
    case crAppStart:
      return Qt::BusyCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

void Frame3D(TCanvas& canvas, TRect& rect, TColor top_color, TColor bottom_color, int width) {
  for (int i = 0; i < width; ++i) {
    --rect.Bottom;
    --rect.Right;
    canvas.Pen().SetColor(top_color);
    canvas.MoveTo(rect.Left, rect.Bottom);
    canvas.LineTo(rect.Left, rect.Top);
    canvas.LineTo(rect.Right, rect.Top);
    canvas.Pen().SetColor(bottom_color);
    canvas.LineTo(rect.Right, rect.Bottom);
    canvas.LineTo(rect.Left - 1, rect.Bottom);
    ++rect.Left;
    ++rect.Top;
  }
}

// ---- TControl ---------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {
  window_proc_ = TWndMethod(this, &TControl::WndProc);
  font_.OnChange = TNotifyEvent(this, &TControl::FontChangedHandler);
}

TControl::~TControl() {
  Destroying();
  Application->ControlDestroying(this);
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  const bool moved = left != left_ || top != top_;
  const bool resized = width != width_ || height != height_;
  if (!moved && !resized) return;
  const TRect old = BoundsRect();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (!IsWindowed() && parent_) {
    parent_->InvalidateRect(old);
  }
  BoundsChanged(moved, resized);
  Perform(WM_WINDOWPOSCHANGED);
  if (IsWindowed()) {
    if (resized) Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
    if (moved) Perform(WM_MOVE, 0, MakeLParam(left_, top_));
  } else if (resized) {
    Resize();
  }
  if (!parent_ || !parent_->aligning_) RequestAlign();
}

void TControl::UpdateBoundsFromAlign(int left, int top, int width, int height) {
  SetBounds(left, top, width, height);
}

void TControl::BoundsChanged(bool, bool) {}

void TControl::SetClientSize(int width, int height) {
  SetBounds(left_, top_, width + (width_ - ClientWidth()), height + (height_ - ClientHeight()));
}

TPoint TControl::ClientOrigin() const {
  if (!parent_) return {left_, top_};
  const TPoint p = parent_->ClientOrigin();
  return {p.X + left_, p.Y + top_};
}

TPoint TControl::ClientToScreen(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.X + o.X, p.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint p) const {
  const TPoint o = ClientOrigin();
  return {p.X - o.X, p.Y - o.Y};
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  RequestAlign();
}

void TControl::SetAnchors(TAnchors anchors) {
  anchors_ = anchors;
}

void TControl::RequestAlign() {
  if (parent_ && (align_ != alNone || parent_->ControlCount() > 0)) {
    if (align_ != alNone) parent_->Realign();
  }
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  VisibleChanged();
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
  if (align_ != alNone && parent_) parent_->Realign();
}

void TControl::VisibleChanged() {}

bool TControl::Showing() const {
  if (!visible_) return false;
  return parent_ ? parent_->Showing() : true;
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  EnabledChanged();
  Perform(CM_ENABLEDCHANGED);
}

void TControl::EnabledChanged() {
  Invalidate();
}

void TControl::SetColor(TColor color) {
  if (color == color_ && !parent_color_) return;
  const bool changed = color != color_;
  color_ = color;
  parent_color_ = false;
  if (changed) ColorChanged();
}

void TControl::ColorChanged() {
  Perform(CM_COLORCHANGED);
  Invalidate();
}

void TControl::SetParentColor(bool value) {
  if (value == parent_color_) return;
  parent_color_ = value;
  if (value && parent_) Perform(CM_PARENTCOLORCHANGED);
}

void TControl::SetParentFont(bool value) {
  if (value == parent_font_) return;
  parent_font_ = value;
  if (value && parent_) Perform(CM_PARENTFONTCHANGED);
}

void TControl::FontChangedHandler(TObject*) {
  if (!assigning_parent_font_) parent_font_ = false;
  FontChanged();
}

void TControl::FontChanged() {
  Perform(CM_FONTCHANGED);
  if (CanAutoSizeNow()) AdjustSize();
  Invalidate();
}

void TControl::SetShowHint(bool value) {
  parent_show_hint_ = false;
  if (value == show_hint_) return;
  show_hint_ = value;
  Perform(CM_SHOWHINTCHANGED);
}

void TControl::SetParentShowHint(bool value) {
  if (value == parent_show_hint_) return;
  parent_show_hint_ = value;
  if (value && parent_) Perform(CM_PARENTSHOWHINTCHANGED);
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED);
}

void TControl::SetText(const std::string& text) {
  if (GetText() == text) return;
  StoreText(text);
  Perform(CM_TEXTCHANGED);
}

void TControl::SetAutoSize(bool value) {
  if (value == auto_size_) return;
  auto_size_ = value;
  if (CanAutoSizeNow()) AdjustSize();
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (CanAutoSizeNow()) AdjustSize();
}

std::intptr_t TControl::Perform(std::uint32_t msg, std::uintptr_t wparam, std::intptr_t lparam) {
  TMessage m{msg, wparam, lparam, 0};
  // A copy: the chain may be taken over while a message is on its way.
  const TWndMethod proc = window_proc_;
  if (proc)
    proc(m);
  else
    WndProc(m);
  return m.Result;
}

void TControl::SetWindowProc(TWndMethod proc) {
  window_proc_ = proc ? std::move(proc) : TWndMethod(this, &TControl::WndProc);
}

void TControl::WndProc(TMessage& message) {
  Dispatch(message);
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: {
      const TMouseButton b = (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK)   ? mbLeft
                             : (m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK) ? mbRight
                                                                                      : mbMiddle;
      const bool dbl =
          m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
      DefaultHandler(m);
      if (b == mbLeft) {
        control_state_ |= csLButtonDown;
        if (control_style_ & csClickEvents) control_state_ |= csClicked;
      }
      if (dbl && b == mbLeft && (control_style_ & csDoubleClicks)) OnDblClick(this);
      MouseDown(b, ShiftFromKeys(m.WParam) | (dbl ? ssDouble : 0), LParamX(m.LParam),
                LParamY(m.LParam));
      return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      const TMouseButton b = m.Msg == WM_LBUTTONUP   ? mbLeft
                             : m.Msg == WM_RBUTTONUP ? mbRight
                                                     : mbMiddle;
      DefaultHandler(m);
      const bool clicked = b == mbLeft && (control_state_ & csClicked) != 0;
      if (b == mbLeft) control_state_ &= ~(csLButtonDown | csClicked);
      const int x = LParamX(m.LParam), y = LParamY(m.LParam);
      MouseUp(b, ShiftFromKeys(m.WParam), x, y);
      if (clicked && ClientRect().Contains({x, y})) Click();
      return;
    }
    case WM_MOUSEMOVE:
      DefaultHandler(m);
      MouseMove(ShiftFromKeys(m.WParam), LParamX(m.LParam), LParamY(m.LParam));
      return;
    case CM_MOUSEENTER:
      OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      OnMouseLeave(this);
      return;
    case CM_PARENTFONTCHANGED:
      if (parent_font_ && parent_) {
        assigning_parent_font_ = true;
        try {
          font_.Assign(parent_->Font());
        } catch (...) {
          assigning_parent_font_ = false;
          throw;
        }
        assigning_parent_font_ = false;
      }
      return;
    case CM_PARENTCOLORCHANGED:
      if (parent_color_ && parent_ && color_ != parent_->Color()) {
        color_ = parent_->Color();
        ColorChanged();
      }
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parent_show_hint_ && parent_ && show_hint_ != parent_->ShowHint()) {
        show_hint_ = parent_->ShowHint();
        Perform(CM_SHOWHINTCHANGED);
      }
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  OnMouseMove(this, shift, x, y);
}

void TControl::Resize() {
  OnResize(this);
}

void TControl::Click() {
  OnClick(this);
}

void TControl::Invalidate() {}
void TControl::Repaint() {}
void TControl::Update() {}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.push_back(this);
  if (IsWindowed()) {
    if (QWidget* w = static_cast<TWinControl*>(this)->Handle()) w->raise();
  }
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  list.insert(list.begin(), this);
  if (IsWindowed()) {
    if (QWidget* w = static_cast<TWinControl*>(this)->Handle()) w->lower();
  }
  Invalidate();
}

TCustomForm* TControl::ParentForm() const {
  return GetParentForm(this);
}

// ---- TGraphicControl --------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

TGraphicControl::~TGraphicControl() {
  Destroying();
  if (Parent()) Invalidate();
}

void TGraphicControl::Invalidate() {
  if (Parent() && Visible()) Parent()->InvalidateRect(BoundsRect());
}

void TGraphicControl::Repaint() {
  if (!Parent() || !Visible() || IsLoading()) return;
  QWidget* w = Parent()->Handle();
  if (!w || !w->isVisible()) return;
  const TRect nc = Parent()->FrameMargins();
  w->repaint(ToQRect(BoundsRect().Offset(nc.Left, nc.Top)));
}

void TGraphicControl::BoundsChanged(bool, bool) {
  Invalidate();
}

void TGraphicControl::VisibleChanged() {
  if (Parent()) Parent()->InvalidateRect(BoundsRect());
}

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT) {
    // Without a device context there is nothing to paint on.
    if (m.WParam == 0) return;
    HDC dc = reinterpret_cast<HDC>(m.WParam);
    canvas_.Lock();
    canvas_.Attach(dc, ClientRect());
    try {
      Paint();
    } catch (...) {
      canvas_.Detach();
      canvas_.Unlock();
      throw;
    }
    canvas_.Detach();
    canvas_.Unlock();
    return;
  }
  TControl::Dispatch(m);
}

// ---- TWinControl --------------------------------------------------------------

TQtWindow::TQtWindow() {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TQtWindow::event(QEvent* e) {
  if (!control_) return QWidget::event(e);
  return control_->WidgetEvent(this, e, [this, e] { return QWidget::event(e); });
}

void DetachBridge(QWidget* widget) {
  if (auto* w = dynamic_cast<TBridgeBase*>(widget)) w->Detach();
  widget->setProperty(kControlProperty, QVariant());
}

TWinControl* FindControl(const QWidget* widget) {
  if (!widget) return nullptr;
  const QVariant v = widget->property(kControlProperty);
  if (!v.isValid()) return nullptr;
  return static_cast<TWinControl*>(v.value<void*>());
}

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner) {
  own_widget_ = widget == nullptr;
  widget_ = widget ? widget : new TQtWindow();
  if (auto* b = dynamic_cast<TBridgeBase*>(widget_.data())) b->Attach(this);
  widget_->setProperty(kControlProperty, QVariant::fromValue<void*>(this));
  widget_->setMouseTracking(true);
  widget_->setFocusPolicy(Qt::NoFocus);
  widget_->hide();
  Application->WindowCreated(this);
}

TWinControl::~TWinControl() {
  Destroying();
  // The parent frees its child controls, as the platform's windows do.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    delete c;
  }
  if (widget_) {
    QWidget* w = widget_;
    DetachBridge(w);
    // The control is gone: nothing the widget does on its way out reaches it.
    w->blockSignals(true);
    for (QObject* child : w->findChildren<QObject*>()) child->blockSignals(true);
    w->removeEventFilter(forwarder_.get());
    widget_ = nullptr;
    delete w;
  }
}

void TWinControl::SetParent(TWinControl* parent) {
  if (parent == Parent()) return;
  TControl::SetParent(parent);
  if (!widget_) return;
  widget_->setParent(parent ? parent->Handle() : nullptr,
                     parent ? Qt::Widget : widget_->windowFlags());
  UpdateWidgetGeometry();
  UpdateWidgetLook();
  widget_->setVisible(Visible() && parent != nullptr);
}

void TWinControl::InsertControl(TControl* control) {
  if (ContainsControl(control)) return;
  controls_.push_back(control);
  control->parent_ = this;
  if (control->IsWindowed()) tab_list_.push_back(static_cast<TWinControl*>(control));
  if (control->parent_font_) control->Perform(CM_PARENTFONTCHANGED);
  if (control->parent_color_) control->Perform(CM_PARENTCOLORCHANGED);
  if (control->parent_show_hint_) control->Perform(CM_PARENTSHOWHINTCHANGED);
  if (!control->IsWindowed()) control->Invalidate();
  if (control->Align() != alNone) Realign();
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<std::uintptr_t>(control), 1);
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (it == controls_.end()) return;
  if (!control->IsWindowed()) control->Invalidate();
  controls_.erase(it);
  tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), control), tab_list_.end());
  if (captured_ == control) captured_ = nullptr;
  control->parent_ = nullptr;
  if (!IsDestroying()) {
    if (control->Align() != alNone) Realign();
    Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<std::uintptr_t>(control), 0);
  }
}

bool TWinControl::ContainsControl(const TControl* control) const {
  return std::find(controls_.begin(), controls_.end(), control) != controls_.end();
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allow_disabled) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible()) continue;
    if (!allow_disabled && !c->Enabled()) continue;
    if (c->BoundsRect().Contains(p)) return c;
  }
  return nullptr;
}

TRect TWinControl::FrameMargins() const {
  return frame_override_ ? frame_margins_ : DefaultFrameMargins();
}

void TWinControl::SetFrameMargins(const TRect& margins) {
  frame_override_ = true;
  frame_margins_ = margins;
  Realign();
  for (TControl* c : controls_)
    if (c->IsWindowed()) static_cast<TWinControl*>(c)->UpdateWidgetGeometry();
  Invalidate();
}

void TWinControl::ResetFrameMargins() {
  frame_override_ = false;
  SetFrameMargins(DefaultFrameMargins());
  frame_override_ = false;
}

TRect TWinControl::ClientRect() const {
  const TRect m = FrameMargins();
  return Rect(0, 0, std::max(0, Width() - m.Left - m.Right),
              std::max(0, Height() - m.Top - m.Bottom));
}

TPoint TWinControl::ClientOrigin() const {
  const TRect m = FrameMargins();
  if (!Parent()) {
    if (widget_) {
      const QPoint g = widget_->mapToGlobal(QPoint(m.Left, m.Top));
      return {g.x(), g.y()};
    }
    return {Left() + m.Left, Top() + m.Top};
  }
  const TPoint p = Parent()->ClientOrigin();
  return {p.X + Left() + m.Left, p.Y + Top() + m.Top};
}

void TWinControl::SetClientSize(int width, int height) {
  const TRect m = FrameMargins();
  SetBounds(Left(), Top(), width + m.Left + m.Right, height + m.Top + m.Bottom);
}

void TWinControl::SetBorderWidth(int value) {
  if (value == border_width_) return;
  border_width_ = value;
  Realign();
  Invalidate();
}

int TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!Parent()) return;
  auto& list = Parent()->tab_list_;
  const int current = TabOrder();
  if (current < 0 || order == current) return;
  const int count = static_cast<int>(list.size());
  if (order < 0 || order >= count) order = count - 1;
  list.erase(list.begin() + current);
  list.insert(list.begin() + order, this);
  UpdateTabChain();
}

void TWinControl::SetTabStop(bool value) {
  if (value == tab_stop_) return;
  tab_stop_ = value;
  if (widget_) {
    widget_->setFocusPolicy(value ? Qt::StrongFocus : (own_widget_ ? Qt::NoFocus : Qt::ClickFocus));
  }
  UpdateTabChain();
}

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled()) return false;
  }
  return true;
}

bool TWinControl::Focused() const {
  return widget_ && widget_->hasFocus();
}

void TWinControl::SetFocus() {
  if (!widget_) return;
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  if (TCustomForm* f = ParentForm()) f->SetActiveControl(this);
  widget_->setFocus(Qt::OtherFocusReason);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tab_list_) {
    if (c->tab_stop_) list.push_back(c);
    c->GetTabOrderList(list);
  }
}

void TWinControl::UpdateTabChain() {
  TCustomForm* form = ParentForm();
  TWinControl* root = form ? static_cast<TWinControl*>(form) : this;
  std::vector<TWinControl*> list;
  root->GetTabOrderList(list);
  for (std::size_t i = 1; i < list.size(); ++i) {
    if (list[i - 1]->widget_ && list[i]->widget_)
      QWidget::setTabOrder(list[i - 1]->widget_, list[i]->widget_);
  }
}

void TWinControl::Invalidate() {
  if (widget_) widget_->update();
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (!widget_) return;
  const TRect m = FrameMargins();
  widget_->update(ToQRect(r.Offset(m.Left, m.Top)));
}

void TWinControl::Repaint() {
  if (widget_ && widget_->isVisible() && !IsLoading()) widget_->repaint();
}

void TWinControl::Update() {
  // Pending paints of this window are processed now.
  if (widget_ && widget_->isVisible())
    QCoreApplication::sendPostedEvents(widget_->window(), QEvent::UpdateRequest);
}

void TWinControl::RepaintAll() {
  if (widget_ && widget_->isVisible()) widget_->repaint();
}

void TWinControl::EnableAlign() {
  if (align_disabled_ > 0 && --align_disabled_ == 0 && (ControlState() & csAlignmentNeeded))
    Realign();
}

void TWinControl::RequestAlign() {
  TControl::RequestAlign();
}

void TWinControl::Realign() {
  if (align_disabled_ > 0 || IsLoading() || aligning_) {
    SetControlState(ControlState() | csAlignmentNeeded);
    return;
  }
  SetControlState(ControlState() & ~csAlignmentNeeded);
  aligning_ = true;
  try {
    TRect rect = ClientRect();
    AlignControls(nullptr, rect);
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
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

void TWinControl::Loaded() {
  TControl::Loaded();
  last_client_ = ClientRect();
  Realign();
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  if (!dc) return;
  auto it = controls_.begin();
  if (first) it = std::find(controls_.begin(), controls_.end(), first);
  const QRect clip = dc->hasClipping() ? dc->clipBoundingRect().toAlignedRect() : QRect();
  for (; it != controls_.end(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible() || c->Width() == 0 || c->Height() == 0) continue;
    const QRect r = ToQRect(c->BoundsRect());
    if (clip.isValid() && !clip.intersects(r)) continue;
    dc->save();
    dc->translate(c->Left(), c->Top());
    dc->setClipRect(QRect(0, 0, c->Width(), c->Height()), Qt::IntersectClip);
    try {
      c->Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(dc), 0);
    } catch (...) {
      dc->restore();
      throw;
    }
    dc->restore();
  }
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::EraseBackground(HDC dc) {
  dc->fillRect(ToQRect(ClientRect()), ToQColor(Color()));
}

void TWinControl::PaintFrame(HDC) {}

void TWinControl::BoundsChanged(bool, bool) {
  UpdateWidgetGeometry();
}

void TWinControl::UpdateWidgetGeometry() {
  if (!widget_ || !Parent()) return;
  const TRect m = Parent()->FrameMargins();
  widget_->setGeometry(Left() + m.Left, Top() + m.Top, Width(), Height());
}

void TWinControl::UpdateWidgetLook() {
  if (!widget_) return;
  widget_->setFont(Font().ToQFont());
  QPalette pal = widget_->palette();
  const QColor back = ToQColor(Color());
  const QColor text = ToQColor(Font().Color());
  pal.setColor(QPalette::Window, back);
  pal.setColor(QPalette::Base, back);
  pal.setColor(QPalette::Text, text);
  pal.setColor(QPalette::WindowText, text);
  pal.setColor(QPalette::ButtonText, text);
  widget_->setPalette(pal);
}

void TWinControl::FontChanged() {
  UpdateWidgetLook();
  TControl::FontChanged();
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTFONTCHANGED);
}

void TWinControl::ColorChanged() {
  UpdateWidgetLook();
  TControl::ColorChanged();
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_PARENTCOLORCHANGED);
}

void TWinControl::VisibleChanged() {
  if (widget_ && Parent()) widget_->setVisible(Visible());
  Perform(WM_SHOWWINDOW, Visible() ? 1 : 0);
}

void TWinControl::EnabledChanged() {
  if (widget_) widget_->setEnabled(Enabled());
  Perform(WM_ENABLE, Enabled() ? 1 : 0);
  Invalidate();
}

void TWinControl::ForwardEventsOf(QWidget* widget) {
  if (!forwarder_) forwarder_ = std::make_unique<TEventForwarder>(this);
  widget->setMouseTracking(true);
  widget->installEventFilter(forwarder_.get());
}

void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) {
  OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) {
  OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char& key) {
  OnKeyPress(this, key);
}
void TWinControl::DoEnter() {
  OnEnter(this);
}
void TWinControl::DoExit() {
  OnExit(this);
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      if (m.WParam == 0) {
        DefaultHandler(m);
        return;
      } else {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        // Opaque windowless children cover their rectangles themselves.
        QRegion own(ToQRect(ClientRect()));
        for (TControl* c : controls_) {
          if (!c->IsWindowed() && c->Visible() && (c->ControlStyle() & csOpaque))
            own -= ToQRect(c->BoundsRect());
        }
        if (!own.isEmpty()) {
          dc->save();
          dc->setClipRegion(own, Qt::IntersectClip);
          try {
            PaintWindow(dc);
          } catch (...) {
            dc->restore();
            throw;
          }
          dc->restore();
        }
        PaintControls(dc, nullptr);
      }
      return;
    case WM_ERASEBKGND:
      if (m.WParam != 0) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        QRegion own(ToQRect(ClientRect()));
        for (TControl* c : controls_) {
          if (!c->IsWindowed() && c->Visible() && (c->ControlStyle() & csOpaque))
            own -= ToQRect(c->BoundsRect());
        }
        dc->save();
        dc->setClipRegion(own, Qt::IntersectClip);
        EraseBackground(dc);
        dc->restore();
      }
      m.Result = 1;
      return;
    case WM_NCPAINT:
      if (m.WParam != 0) PaintFrame(reinterpret_cast<HDC>(m.WParam));
      return;
    case WM_SIZE: {
      const TRect client = ClientRect();
      if (!IsLoading())
        ChildAnchorsResize(client.Width() - last_client_.Width(),
                           client.Height() - last_client_.Height());
      last_client_ = client;
      Realign();
      DefaultHandler(m);
      Resize();
      return;
    }
    case WM_SETFOCUS:
      if (TCustomForm* f = ParentForm()) f->FocusChanged(this);
      DefaultHandler(m);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DefaultHandler(m);
      DoExit();
      return;
    case WM_KEYDOWN: {
      std::uint16_t key = static_cast<std::uint16_t>(m.WParam);
      KeyDown(key, static_cast<TShiftState>(m.LParam));
      m.WParam = key;
      m.Result = key == 0 ? 1 : 0;
      return;
    }
    case WM_KEYUP: {
      std::uint16_t key = static_cast<std::uint16_t>(m.WParam);
      KeyUp(key, static_cast<TShiftState>(m.LParam));
      m.WParam = key;
      m.Result = key == 0 ? 1 : 0;
      return;
    }
    case WM_CHAR: {
      char ch = static_cast<char>(m.WParam);
      KeyPress(ch);
      m.WParam = static_cast<unsigned char>(ch);
      m.Result = ch == 0 ? 1 : 0;
      return;
    }
    case WM_SETREDRAW:
      if (m.WParam == 0)
        SetControlState(ControlState() | csRedrawSuspended);
      else
        SetControlState(ControlState() & ~csRedrawSuspended);
      if (widget_) widget_->setUpdatesEnabled(m.WParam != 0);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: {
      // A windowless child under the pointer (or holding the capture) gets
      // the message in its own coordinates.
      const TPoint p{LParamX(m.LParam), LParamY(m.LParam)};
      TControl* target = captured_ ? captured_ : ControlAtPos(p);
      if (m.Msg == WM_MOUSEMOVE) Application->SetMouseControl(target ? target : this);
      if (target) {
        const bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK ||
                          m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK ||
                          m.Msg == WM_MBUTTONDOWN || m.Msg == WM_MBUTTONDBLCLK;
        const bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
        if (down && (target->ControlStyle() & csCaptureMouse)) captured_ = target;
        if (up) captured_ = nullptr;
        m.Result =
            target->Perform(m.Msg, m.WParam, MakeLParam(p.X - target->Left(), p.Y - target->Top()));
        DefaultHandler(m);
        return;
      }
      TControl::Dispatch(m);
      return;
    }
    default:
      TControl::Dispatch(m);
  }
}

void TWinControl::DefaultHandler(TMessage& m) {
  QtDispatch* d = qt_dispatch_;
  if (d && d->message == &m && !d->done) {
    d->done = true;
    d->result = (*d->qt_default)();
    return;
  }
  TControl::DefaultHandler(m);
}

bool TWinControl::WidgetEvent(QObject* target, QEvent* e, const std::function<bool()>& qt_default) {
  if (IsDestroying()) return qt_default();
  try {
    return TranslateEvent(target, e, qt_default);
  } catch (...) {
    Application->HandleException(this);
    return true;
  }
}

bool TWinControl::SendQt(TMessage& m, const std::function<bool()>& qt_default) {
  QtDispatch d{&m, &qt_default, false, true};
  QtDispatch* saved = qt_dispatch_;
  qt_dispatch_ = &d;
  try {
    const TWndMethod proc = WindowProc();
    proc(m);
  } catch (...) {
    qt_dispatch_ = saved;
    throw;
  }
  qt_dispatch_ = saved;
  return d.result;
}

bool TWinControl::TranslateEvent(QObject* target, QEvent* e,
                                 const std::function<bool()>& qt_default) {
  switch (e->type()) {
    case QEvent::Paint:
      if (target != widget_) return qt_default();
      PaintEvent(e, qt_default);
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(e);
      QPoint pos = me->position().toPoint();
      if (target != widget_) pos = static_cast<QWidget*>(target)->mapTo(widget_, pos);
      const TRect nc = FrameMargins();
      pos -= QPoint(nc.Left, nc.Top);
      std::uint32_t msg = WM_MOUSEMOVE;
      const Qt::MouseButton b = me->button();
      if (e->type() == QEvent::MouseButtonPress)
        msg = b == Qt::RightButton    ? WM_RBUTTONDOWN
              : b == Qt::MiddleButton ? WM_MBUTTONDOWN
                                      : WM_LBUTTONDOWN;
      else if (e->type() == QEvent::MouseButtonRelease)
        msg = b == Qt::RightButton    ? WM_RBUTTONUP
              : b == Qt::MiddleButton ? WM_MBUTTONUP
                                      : WM_LBUTTONUP;
      else if (e->type() == QEvent::MouseButtonDblClick)
        msg = b == Qt::RightButton    ? WM_RBUTTONDBLCLK
              : b == Qt::MiddleButton ? WM_MBUTTONDBLCLK
                                      : WM_LBUTTONDBLCLK;
      TMessage m{msg, KeysFromQt(me->modifiers(), me->buttons()), MakeLParam(pos.x(), pos.y()), 0};
      const bool r = SendQt(m, qt_default);
      return own_widget_ ? true : r;
    }
    case QEvent::Enter:
      Application->SetMouseControl(this);
      return qt_default();
    case QEvent::Leave:
      Application->MouseLeftWindow(this);
      return qt_default();
    case QEvent::FocusIn: {
      TMessage m{WM_SETFOCUS, 0, 0, 0};
      return SendQt(m, qt_default);
    }
    case QEvent::FocusOut: {
      TMessage m{WM_KILLFOCUS, 0, 0, 0};
      return SendQt(m, qt_default);
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      return KeyEvent(e, qt_default);
    case QEvent::ToolTip: {
      auto* he = static_cast<QHelpEvent*>(e);
      QPoint pos = he->pos();
      if (target != widget_) pos = static_cast<QWidget*>(target)->mapTo(widget_, pos);
      const TRect nc = FrameMargins();
      const TPoint p{pos.x() - nc.Left, pos.y() - nc.Top};
      TControl* c = ControlAtPos(p, true);
      if (!c) c = this;
      while (c && !c->ShowHint()) c = c->Parent();
      if (c && !c->Hint().empty() && Application->ShowHint()) {
        Application->ActivateHint(c, he->globalPos());
      } else {
        QToolTip::hideText();
        e->ignore();
      }
      return true;
    }
    default:
      return qt_default();
  }
}

void TWinControl::PaintEvent(QEvent* e, const std::function<bool()>& qt_default) {
  auto* pe = static_cast<QPaintEvent*>(e);
  const TRect nc = FrameMargins();
  const bool has_frame = nc.Left || nc.Top || nc.Right || nc.Bottom;
  if (!own_widget_) {
    // A wrapped editor paints its client itself; the frame is ours.
    TMessage m{WM_PAINT, 0, 0, 0};
    SendQt(m, qt_default);
    if (has_frame) {
      QPainter p(widget_);
      TMessage f{WM_NCPAINT, reinterpret_cast<std::uintptr_t>(&p), 0, 0};
      SendQt(f, qt_default);
    }
    return;
  }
  QPainter p(widget_);
  if (has_frame) {
    p.save();
    TMessage f{WM_NCPAINT, reinterpret_cast<std::uintptr_t>(&p), 0, 0};
    SendQt(f, qt_default);
    p.restore();
  }
  p.translate(nc.Left, nc.Top);
  const QRect client = ToQRect(ClientRect());
  const QRegion region = pe->region().translated(-nc.Left, -nc.Top) & client;
  if (region.isEmpty()) return;
  p.setClipRegion(region);
  TMessage erase{WM_ERASEBKGND, reinterpret_cast<std::uintptr_t>(&p), 0, 0};
  SendQt(erase, qt_default);
  TMessage paint{WM_PAINT, reinterpret_cast<std::uintptr_t>(&p), 0, 0};
  SendQt(paint, qt_default);
}

bool TWinControl::KeyEvent(QEvent* e, const std::function<bool()>& qt_default) {
  auto* ke = static_cast<QKeyEvent*>(e);
  const TShiftState shift = ShiftFromQt(ke->modifiers(), Qt::NoButton);
  TMessage kd{e->type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP, VirtualKey(ke->key()),
              static_cast<std::intptr_t>(shift), 0};
  const TWndMethod proc = WindowProc();
  proc(kd);
  if (kd.Result != 0 || kd.WParam == 0) return true;
  if (e->type() == QEvent::KeyPress && ke->key() != Qt::Key_Tab && ke->key() != Qt::Key_Backtab) {
    const QString text = ke->text();
    if (!text.isEmpty() && text.at(0).unicode() < 256 && !(ke->modifiers() & Qt::ControlModifier)) {
      TMessage ch{WM_CHAR, static_cast<unsigned char>(text.at(0).toLatin1()), 0, 0};
      proc(ch);
      if (ch.Result != 0 || ch.WParam == 0) return true;
    }
  }
  if (own_widget_) {
    // Keys a plain window does not want go on to its parent, as dialog keys.
    const bool r = qt_default();
    return r;
  }
  return qt_default();
}

// ---- TCustomControl ---------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  canvas_.Lock();
  canvas_.Attach(dc, ClientRect());
  try {
    Paint();
  } catch (...) {
    canvas_.Detach();
    canvas_.Unlock();
    throw;
  }
  canvas_.Detach();
  canvas_.Unlock();
}
