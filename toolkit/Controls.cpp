// TControl, the windowless TGraphicControl, and the decoding of mouse
// messages that every control shares.
#include "toolkit/Controls.h"

#include <QBackingStore>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <algorithm>

#include "toolkit/Accessible.h"
#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"

namespace {

TShiftState ShiftFromKeys(std::uintptr_t keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  return s;
}

// Every mouse message: which button does what.
struct TMouseMessageKind {
  std::uint32_t msg;
  TMouseAction action;
  TMouseButton button;
};
constexpr TMouseMessageKind kMouseMessages[] = {
    {WM_MOUSEMOVE, maMove, mbLeft},
    {WM_LBUTTONDOWN, maDown, mbLeft},
    {WM_LBUTTONUP, maUp, mbLeft},
    {WM_LBUTTONDBLCLK, maDoubleClick, mbLeft},
    {WM_RBUTTONDOWN, maDown, mbRight},
    {WM_RBUTTONUP, maUp, mbRight},
    {WM_RBUTTONDBLCLK, maDoubleClick, mbRight},
    {WM_MBUTTONDOWN, maDown, mbMiddle},
    {WM_MBUTTONUP, maUp, mbMiddle},
    {WM_MBUTTONDBLCLK, maDoubleClick, mbMiddle},
};

}  // namespace

std::optional<TMouseMessage> DecodeMouseMessage(const TMessage& message) {
  for (const TMouseMessageKind& kind : kMouseMessages) {
    if (kind.msg != message.Msg) continue;
    TShiftState shift = ShiftFromKeys(message.WParam);
    if (kind.action == maDoubleClick) shift |= ssDouble;
    return TMouseMessage{
        kind.action, kind.button, shift, {LParamX(message.LParam), LParamY(message.LParam)}};
  }
  return std::nullopt;
}

std::uint32_t MouseMessageNumber(TMouseAction action, TMouseButton button) {
  for (const TMouseMessageKind& kind : kMouseMessages) {
    if (kind.action == action && (action == maMove || kind.button == button)) return kind.msg;
  }
  return WM_MOUSEMOVE;
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
  ForgetAccessible(this);
  Destroying();
  Application->ControlDestroying(this);
  if (parent_) parent_->RemoveControl(this);
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  if (IsWindowed()) {
    if (QWidget* w = static_cast<TWinControl*>(this)->Handle())
      w->setAccessibleDescription(ToQString(hint));
  }
}

void TControl::SetAccessibleName(const std::string& name) {
  accessible_name_ = name;
  if (IsWindowed()) {
    if (QWidget* w = static_cast<TWinControl*>(this)->Handle())
      w->setAccessibleName(ToQString(name));
  }
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

void TControl::BoundsChanged(bool, bool) {}

void TControl::SetClientSize(int width, int height) {
  SetBounds(left_, top_, width + (width_ - ClientWidth()), height + (height_ - ClientHeight()));
}

TPoint TControl::ClientOrigin() const {
  if (!parent_) return {left_, top_};
  const TPoint p = parent_->ClientOrigin();
  return {p.X + left_, p.Y + top_};
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
  // Under the pointer the new shape shows now, not at the next entry.
  if (Application != nullptr) Application->CursorChanged(this);
}

void TControl::SetBiDiMode(TBiDiMode mode) {
  if (mode == bidi_mode_) return;
  bidi_mode_ = mode;
  Perform(CM_BIDIMODECHANGED);
  Invalidate();
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
  if (const std::optional<TMouseMessage> mouse = DecodeMouseMessage(m)) {
    DefaultHandler(m);
    MouseMessage(*mouse);
    return;
  }
  switch (m.Msg) {
    case WM_CANCELMODE:
      // A press in progress is abandoned: its release clicks nothing.
      control_state_ &= ~(csLButtonDown | csClicked);
      DefaultHandler(m);
      return;
    case CM_MOUSEENTER:
      OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      OnMouseLeave(this);
      return;
    case CM_PARENTFONTCHANGED:
      if (parent_font_ && parent_) {
        const TFlagScope assigning(assigning_parent_font_);
        font_.Assign(parent_->Font());
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

void TControl::MouseMessage(const TMouseMessage& mouse) {
  const int x = mouse.Pos.X, y = mouse.Pos.Y;
  switch (mouse.Action) {
    case maDown:
    case maDoubleClick: {
      const bool dbl = mouse.Action == maDoubleClick;
      if (mouse.Button == mbLeft) {
        control_state_ |= csLButtonDown;
        if (control_style_ & csClickEvents) control_state_ |= csClicked;
      }
      if (dbl && mouse.Button == mbLeft && (control_style_ & csDoubleClicks)) OnDblClick(this);
      MouseDown(mouse.Button, mouse.Shift, x, y);
      return;
    }
    case maUp: {
      const bool clicked = mouse.Button == mbLeft && (control_state_ & csClicked) != 0;
      if (mouse.Button == mbLeft) control_state_ &= ~(csLButtonDown | csClicked);
      MouseUp(mouse.Button, mouse.Shift, x, y);
      if (clicked && ClientRect().Contains({x, y})) Click();
      return;
    }
    case maMove:
      MouseMove(mouse.Shift, x, y);
      return;
  }
}

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
  if (OnScreen()) Parent()->Handle()->repaint(OnParentWidget(ClientRect()));
}

QRect TGraphicControl::OnParentWidget(const TRect& client) const {
  const TRect nc = Parent()->FrameMargins();
  return ToQRect(client.Offset(Left() + nc.Left, Top() + nc.Top));
}

bool TGraphicControl::OnScreen() const {
  if (!Parent() || !Visible() || IsLoading()) return false;
  const QWidget* w = Parent()->Handle();
  return w && w->isVisible();
}

void TGraphicControl::ScrollOnScreen(int dx, int dy, const TRect& exposed) {
  if (!OnScreen()) return;
  QWidget* w = Parent()->Handle();
  const QRect area = OnParentWidget(ClientRect());
  // Qt copies the pixels where it can (on the X server, without sending
  // them again) and otherwise marks the whole area for repainting; either
  // way the repaint below paints all that is due.
  w->scroll(dx, dy, area);
  w->repaint(OnParentWidget(exposed) & area);
}

bool TGraphicControl::PaintingOnScreen() {
  QPainter* dc = canvas_.Painter();
  if (!dc || !dc->paintEngine() || !Parent() || !Parent()->Handle()) return false;
  QBackingStore* store = Parent()->Handle()->backingStore();
  return store && dc->paintEngine()->paintDevice() == store->paintDevice();
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
    const TCanvasPaint paint(canvas_, MessageDC(m), ClientRect());
    Paint();
    return;
  }
  TControl::Dispatch(m);
}
