// TWinControl: a control with a window (one QWidget) of its own, holding
// child controls, painting its frame, client and windowless children, and
// taking part in the tab order; TCustomControl paints itself on a canvas.
#include <QCoreApplication>
#include <QPainter>
#include <QRegion>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/ScrollBars.h"
#include "toolkit/SysUtils.h"
#include "toolkit/WidgetBridge.h"

namespace {

// The part of `control`'s client area its own paint covers: opaque
// windowless children paint their whole rectangles themselves.
QRegion UncoveredClientRegion(const TWinControl& control) {
  QRegion own(ToQRect(control.ClientRect()));
  for (int i = 0; i < control.ControlCount(); ++i) {
    const TControl* c = control.Controls(i);
    if (!c->IsWindowed() && c->Visible() && (c->ControlStyle() & csOpaque))
      own -= ToQRect(c->BoundsRect());
  }
  return own;
}

}  // namespace

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner) {
  own_widget_ = widget == nullptr;
  widget_ = widget ? widget : new TQtWindow();
  AttachBridge(widget_, this);
  widget_->setMouseTracking(true);
  widget_->setFocusPolicy(Qt::NoFocus);
  widget_->hide();
}

TWinControl::~TWinControl() {
  Destroying();
  // A windowed control frees its children with it.
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

void TWinControl::InvalidateRect(const TRect& client_rect) {
  if (!widget_) return;
  const TRect m = FrameMargins();
  widget_->update(ToQRect(client_rect.Offset(m.Left, m.Top)));
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

void TWinControl::Loaded() {
  TControl::Loaded();
  if (look_pending_) UpdateWidgetLook();
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
    const TPainterSave save(dc);
    dc->translate(c->Left(), c->Top());
    dc->setClipRect(QRect(0, 0, c->Width(), c->Height()), Qt::IntersectClip);
    c->Perform(WM_PAINT, DCParam(dc), 0);
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
  // While the settings are read the font and colours change several times,
  // and each change of a widget's font lays its text out again: the widget
  // takes the last of them once they are all read (Loaded).
  look_pending_ = IsLoading();
  if (look_pending_) return;
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
  if (const std::optional<TMouseMessage> mouse = DecodeMouseMessage(m)) {
    // A windowless child under the pointer (or holding the capture) gets
    // the message in its own coordinates.
    const TPoint p = mouse->Pos;
    TControl* target = captured_ ? captured_ : ControlAtPos(p);
    if (mouse->Action == maMove) Application->SetMouseControl(target ? target : this);
    if (!target) {
      TControl::Dispatch(m);
      return;
    }
    const bool down = mouse->Action == maDown || mouse->Action == maDoubleClick;
    if (down && (target->ControlStyle() & csCaptureMouse)) captured_ = target;
    if (mouse->Action == maUp) captured_ = nullptr;
    m.Result =
        target->Perform(m.Msg, m.WParam, MakeLParam(p.X - target->Left(), p.Y - target->Top()));
    DefaultHandler(m);
    return;
  }
  switch (m.Msg) {
    case WM_PAINT: {
      if (m.WParam == 0) {
        DefaultHandler(m);
        return;
      }
      HDC dc = MessageDC(m);
      const QRegion own = UncoveredClientRegion(*this);
      if (!own.isEmpty()) {
        const TPainterSave save(dc);
        dc->setClipRegion(own, Qt::IntersectClip);
        PaintWindow(dc);
      }
      PaintControls(dc, nullptr);
      return;
    }
    case WM_ERASEBKGND:
      if (m.WParam != 0) {
        HDC dc = MessageDC(m);
        const TPainterSave save(dc);
        dc->setClipRegion(UncoveredClientRegion(*this), Qt::IntersectClip);
        EraseBackground(dc);
      }
      m.Result = 1;
      return;
    case WM_NCPAINT:
      if (m.WParam != 0) PaintFrame(MessageDC(m));
      return;
    case WM_CANCELMODE:
      if (captured_ != nullptr) {
        TControl* held = captured_;
        captured_ = nullptr;
        held->Perform(WM_CANCELMODE);
      }
      TControl::Dispatch(m);
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
      // A character is a code point. KeyPress sees the ones a char holds
      // whole (ASCII); any other passes on as it is to the control's editing.
      if (m.WParam >= 0x80) {
        m.Result = 0;
        return;
      }
      char ch = static_cast<char>(m.WParam);
      KeyPress(ch);
      m.WParam = static_cast<unsigned char>(ch);
      m.Result = ch == 0 ? 1 : 0;
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      ScrollControl(this, m.Msg == WM_VSCROLL ? SB_VERT : SB_HORZ, LoWord(m.WParam),
                    static_cast<int>(m.LParam));
      return;
    case WM_SETREDRAW:
      if (m.WParam == 0)
        SetControlState(ControlState() | csRedrawSuspended);
      else
        SetControlState(ControlState() & ~csRedrawSuspended);
      if (widget_) widget_->setUpdatesEnabled(m.WParam != 0);
      return;
    default:
      TControl::Dispatch(m);
  }
}

// ---- TCustomControl ---------------------------------------------------------

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  const TCanvasPaint paint(canvas_, dc, ClientRect());
  Paint();
}
