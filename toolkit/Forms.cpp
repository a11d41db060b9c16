// Forms: the top-level window (border style and icons, window states, the
// frame the program may paint itself, placement, showing modally, closing,
// activation, dialog keys) and its translation of Qt's window events. The
// own frame's hit testing and non-client mouse are in FormFrame.cpp, the
// application object and the screen in Application.cpp.
#include "toolkit/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>
#include <QWindow>

#include <algorithm>

#include "platform/SystemMetrics.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"
#include "toolkit/WidgetBridge.h"
#include "toolkit/WindowSystem.h"

TCustomForm* GetParentForm(const TControl* control) {
  const TControl* c = control;
  while (c && c->Parent()) c = c->Parent();
  return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(c));
}

// ---- TCustomForm --------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  form_state_ |= fsCreating;
  SetVisible(false);
  SetColor(clBtnFace);
  SetParentFont(false);
  SetControlStyle(ControlStyle() | csAcceptsControls | csSetCaption);
  TWinControl::SetBounds(0, 0, 320, 240);
  ApplyWindowFlags();
  form_state_ &= ~fsCreating;
}

TCustomForm::~TCustomForm() {
  Destroying();
  OnDestroy(this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == border_style_) return;
  border_style_ = style;
  ApplyWindowFlags();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == border_icons_) return;
  border_icons_ = icons;
  ApplyWindowFlags();
}

void TCustomForm::ApplyWindowFlags() {
  QWidget* w = Handle();
  if (!w) return;
  Qt::WindowFlags f = Qt::Window;
  switch (border_style_) {
    case TFormBorderStyle::bsNone:
      f |= Qt::FramelessWindowHint;
      break;
    case TFormBorderStyle::bsDialog:
      f = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
      break;
    case TFormBorderStyle::bsToolWindow:
    case TFormBorderStyle::bsSizeToolWin:
      f = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
      break;
    default:
      f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
      if (border_icons_ & biSystemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (border_icons_ & biMinimize) f |= Qt::WindowMinimizeButtonHint;
      if (border_icons_ & biMaximize && border_style_ == TFormBorderStyle::bsSizeable)
        f |= Qt::WindowMaximizeButtonHint;
      break;
  }
  // The program's own frame has the buttons: hints for the window system's
  // buttons would bring its frame back.
  if (own_frame_) f = (f & Qt::WindowType_Mask) | Qt::FramelessWindowHint;
  if (f != w->windowFlags()) {
    if (w->isVisible() && w->windowHandle() != nullptr) {
      // A window on the screen (or being shown) takes the new flags as it
      // is, without being hidden and shown again.
      w->overrideWindowFlags(f);
      w->windowHandle()->setFlags(f);
    } else {
      w->setWindowFlags(f);
    }
  }
  UpdateWidgetGeometry();
}

void TCustomForm::UpdateWidgetGeometry() {
  QWidget* w = Handle();
  if (!w || updating_geometry_) return;
  updating_geometry_ = true;
  const bool fixed = border_style_ == TFormBorderStyle::bsSingle ||
                     border_style_ == TFormBorderStyle::bsDialog ||
                     border_style_ == TFormBorderStyle::bsToolWindow;
  if (fixed) {
    w->setFixedSize(Width(), Height());
  } else {
    // The window system gets the smallest size at which the layout is whole.
    const TRect m = FrameMargins();
    w->setMinimumSize(min_client_.X > 0 ? min_client_.X + m.Left + m.Right : 0,
                      min_client_.Y > 0 ? min_client_.Y + m.Top + m.Bottom : 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  w->setGeometry(Left(), Top(), Width(), Height());
  updating_geometry_ = false;
}

TPoint TCustomForm::ClientOrigin() const {
  const TRect m = FrameMargins();
  if (QWidget* w = Handle()) {
    const QPoint g = w->mapToGlobal(QPoint(m.Left, m.Top));
    return {g.x(), g.y()};
  }
  return {Left() + m.Left, Top() + m.Top};
}

void TCustomForm::StoreText(const std::string& text) {
  TWinControl::StoreText(text);
  if (QWidget* w = Handle()) w->setWindowTitle(ToQString(text));
}

void TCustomForm::SetMinClientSize(int width, int height) {
  min_client_ = {std::max(0, width), std::max(0, height)};
  UpdateWidgetGeometry();
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (state == window_state_) return;
  const TWindowState old = window_state_;
  window_state_ = state;
  QWidget* w = Handle();
  if (!w || !Visible()) return;
  if (own_frame_ && !WindowManagerPresent()) {
    // No window manager: the program maximises within the work area and
    // minimises to its caption bar itself.
    if (old == wsMinimized) Unroll();
    switch (state) {
      case wsMinimized:
        RollUp();
        break;
      case wsMaximized:
        MaximizeOwnFrame();
        break;
      case wsNormal:
        // A window maximised by the window system itself comes back
        // through it.
        if (own_maximized_)
          RestoreOwnFrame();
        else if (w->isMaximized())
          w->showNormal();
        break;
    }
    return;
  }
  // The window manager does it, whoever paints the frame; the form follows
  // the state it reports (WindowStateChange). What the program did itself
  // while there was none is undone first.
  if (own_minimized_) Unroll();
  if (own_maximized_) RestoreOwnFrame();
  switch (state) {
    case wsNormal:
      w->showNormal();
      break;
    case wsMinimized:
      w->showMinimized();
      break;
    case wsMaximized:
      w->showMaximized();
      break;
  }
}

void TCustomForm::MaximizeOwnFrame() {
  QWidget* w = Handle();
  if (!w) return;
  if (!own_maximized_) restored_bounds_ = BoundsRect();
  own_maximized_ = true;
  QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QRect a = screen->availableGeometry();
    SetBounds(a.x(), a.y(), a.width(), a.height());
  }
  Perform(WM_SIZE, SIZE_MAXIMIZED, MakeLParam(ClientWidth(), ClientHeight()));
  Invalidate();
}

void TCustomForm::RestoreOwnFrame() {
  if (!own_maximized_) return;
  own_maximized_ = false;
  SetBoundsRect(restored_bounds_);
  Perform(WM_SIZE, SIZE_RESTORED, MakeLParam(ClientWidth(), ClientHeight()));
  Invalidate();
}

void TCustomForm::RollUp() {
  if (own_minimized_) return;
  own_minimized_ = true;
  // The controls stay where they are, under the mask; the keyboard leaves
  // them with the window's focus.
  ApplyMask();
  Perform(WM_SIZE, SIZE_MINIMIZED, MakeLParam(ClientWidth(), ClientHeight()));
  Invalidate();
}

void TCustomForm::Unroll() {
  if (!own_minimized_) return;
  own_minimized_ = false;
  ApplyMask();
  Perform(WM_SIZE, own_maximized_ ? SIZE_MAXIMIZED : SIZE_RESTORED,
          MakeLParam(ClientWidth(), ClientHeight()));
  Invalidate();
}

void TCustomForm::ApplyMask() {
  QWidget* w = Handle();
  if (!w) return;
  QRegion r = region_;
  if (own_minimized_) {
    const QRegion band(0, 0, Width(), std::max(1, FrameMargins().Top));
    r = r.isEmpty() ? band : r.intersected(band);
  }
  if (r.isEmpty())
    w->clearMask();
  else
    w->setMask(r);
}

void TCustomForm::SetOwnFrame(bool value) {
  if (value == own_frame_) return;
  own_frame_ = value;
  if (!value) {
    if (own_minimized_) Unroll();
    if (own_maximized_) RestoreOwnFrame();
    SetWindowRegion(QRegion());
    const int cw = ClientWidth(), ch = ClientHeight();
    ResetFrameMargins();
    SetClientSize(cw, ch);
  }
  ApplyWindowFlags();
}

void TCustomForm::SetFrameKeepingClient(const TRect& margins) {
  const TRect old = FrameMargins();
  if (old == margins) return;
  const int cw = ClientWidth(), ch = ClientHeight();
  SetFrameMargins(margins);
  if (own_maximized_ || window_state_ == wsMaximized) {
    // A maximised window keeps the work area; the client gives way.
    Realign();
    return;
  }
  const int w0 = Width(), h0 = Height();
  SetClientSize(cw, ch);
  // A window already placed in the middle of the screen stays there.
  const bool centred = position_ == poScreenCenter || position_ == poDesktopCenter ||
                       position_ == poMainFormCenter || position_ == poOwnerFormCenter;
  if (placed_ && centred)
    SetBounds(Left() - (Width() - w0) / 2, Top() - (Height() - h0) / 2, Width(), Height());
}

void TCustomForm::SetWindowRegion(const QRegion& region) {
  region_ = region;
  ApplyMask();
}

QRegion TCustomForm::WindowRegion() const {
  return region_;
}

void TCustomForm::PlaceOnFirstShow() {
  if (placed_) return;
  placed_ = true;
  int left = Left(), top = Top();
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      left = (Screen->Width() - Width()) / 2;
      top = (Screen->Height() - Height()) / 2;
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* ref =
          position_ == poOwnerFormCenter ? dynamic_cast<TCustomForm*>(Owner()) : nullptr;
      if (!ref) ref = Application->MainForm();
      if (ref && ref != this) {
        left = ref->Left() + (ref->Width() - Width()) / 2;
        top = ref->Top() + (ref->Height() - Height()) / 2;
      } else {
        left = (Screen->Width() - Width()) / 2;
        top = (Screen->Height() - Height()) / 2;
      }
      break;
    }
    default:
      break;
  }
  SetBounds(std::max(0, left), std::max(0, top), Width(), Height());
}

void TCustomForm::VisibleChanged() {
  QWidget* w = Handle();
  if (!w) return;
  if (Visible()) {
    PlaceOnFirstShow();
    UpdateWidgetGeometry();
    UpdateTabChain();
    // Secondary windows belong to the main form: no task-bar button.
    TCustomForm* main = Application->MainForm();
    if (main && main != this && main->Handle()) {
      w->winId();
      main->Handle()->winId();
      if (w->windowHandle() && main->Handle()->windowHandle())
        w->windowHandle()->setTransientParent(main->Handle()->windowHandle());
    }
    form_state_ |= fsShowing;
    switch (window_state_) {
      case wsMinimized:
        if (own_frame_ && !WindowManagerPresent()) {
          w->show();
          RollUp();
        } else {
          w->showMinimized();
        }
        break;
      case wsMaximized:
        if (own_frame_ && !WindowManagerPresent()) {
          w->show();
          MaximizeOwnFrame();
        } else {
          w->showMaximized();
        }
        break;
      default:
        w->show();
        break;
    }
    form_state_ &= ~fsShowing;
    form_state_ |= fsVisible;
    if (!active_control_ || !active_control_->CanFocus())
      SelectFirst();
    else
      active_control_->SetFocus();
    w->activateWindow();
    Perform(WM_SHOWWINDOW, 1);
    DoShow();
  } else {
    w->hide();
    form_state_ &= ~fsVisible;
    Perform(WM_SHOWWINDOW, 0);
    DoHide();
  }
}

void TCustomForm::DoShow() {
  OnShow(this);
}
void TCustomForm::DoHide() {
  OnHide(this);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == active_control_) return;
  if (control && GetParentForm(control) != this) return;
  active_control_ = control;
  if (control && Visible() && control->CanFocus() && !control->Focused()) {
    if (QWidget* w = control->Handle()) w->setFocus(Qt::OtherFocusReason);
  }
}

void TCustomForm::FocusChanged(TWinControl* control) {
  active_control_ = control;
}

void TCustomForm::SelectFirst() {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  for (TWinControl* c : list) {
    if (c->CanFocus()) {
      active_control_ = c;
      if (QWidget* w = c->Handle()) w->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || (form_state_ & fsModal))
    throw EInvalidOperation("Cannot make a visible window modal");
  QWidget* w = Handle();
  modal_result_ = mrNone;
  form_state_ |= fsModal;
  w->setWindowModality(Qt::ApplicationModal);
  Application->CancelMode();
  // On the way out, by a result or by an error: hidden, then modeless.
  const TScopeExit modeless([w] { w->setWindowModality(Qt::NonModal); });
  const TScopeExit leave([this] {
    form_state_ &= ~fsModal;
    Hide();
  });
  Show();
  for (;;) {
    if (Application->Terminated()) modal_result_ = mrCancel;
    if (modal_result_ != mrNone && CloseModal()) break;
    Application->HandleMessage();
  }
  return modal_result_;
}

bool TCustomForm::CloseModal() {
  TCloseAction action = caHide;
  if (!CloseQuery()) {
    modal_result_ = mrNone;
    return Application->Terminated();
  }
  DoClose(action);
  if (action == caNone && !Application->Terminated()) {
    modal_result_ = mrNone;
    return false;
  }
  return true;
}

bool TCustomForm::CloseQuery() {
  bool can_close = true;
  OnCloseQuery(this, can_close);
  return can_close;
}

void TCustomForm::DoClose(TCloseAction& action) {
  OnClose(this, action);
}

void TCustomForm::Close() {
  if (form_state_ & fsModal) {
    modal_result_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    // The program ends once control is back in the main message loop.
    Application->Terminate();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() {
  Application->ReleaseForm(this);
}

void TCustomForm::SetRedraw(bool redraw) {
  Perform(WM_SETREDRAW, redraw ? 1 : 0);
  if (redraw) RepaintAll();
}

TDragResult TCustomForm::StartSystemMove(QPoint global_pos) {
  QWidget* w = Handle();
  if (!w || own_maximized_ || window_state_ != wsNormal) return TDragResult::None;
  drag_started_ = true;
  return BeginWindowDrag(w, Qt::Edges(), global_pos);
}

TDragResult TCustomForm::StartSystemResize(Qt::Edges edges, QPoint global_pos) {
  QWidget* w = Handle();
  if (!w || own_maximized_ || window_state_ != wsNormal || edges == Qt::Edges())
    return TDragResult::None;
  const TRect m = FrameMargins();
  const QSize min_size(std::max({platform::GetSystemMetrics(platform::SM_CXMINTRACK),
                                 m.Left + m.Right + 1, w->minimumWidth()}),
                       std::max({platform::GetSystemMetrics(platform::SM_CYMINTRACK),
                                 m.Top + m.Bottom + 1, w->minimumHeight()}));
  drag_started_ = true;
  return BeginWindowDrag(w, edges, global_pos, min_size);
}

void TCustomForm::ShowSystemMenu(QPoint global_pos) {
  QWidget* w = Handle();
  if (!w) return;
  auto* menu = new QMenu(w);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const bool sizeable = border_style_ == TFormBorderStyle::bsSizeable ||
                        border_style_ == TFormBorderStyle::bsSizeToolWin;
  auto add = [this, menu](const char* text, std::uintptr_t command, bool enabled) {
    QAction* a = menu->addAction(QString::fromLatin1(text));
    a->setEnabled(enabled);
    QObject::connect(a, &QAction::triggered, menu,
                     [this, command] { Perform(WM_SYSCOMMAND, command, 0); });
  };
  add("&Restore", SC_RESTORE, window_state_ != wsNormal);
  add("&Move", SC_MOVE, window_state_ == wsNormal);
  add("&Size", SC_SIZE, sizeable && window_state_ == wsNormal);
  add("Mi&nimize", SC_MINIMIZE, (border_icons_ & biMinimize) != 0 && window_state_ != wsMinimized);
  add("Ma&ximize", SC_MAXIMIZE,
      sizeable && (border_icons_ & biMaximize) != 0 && window_state_ != wsMaximized);
  menu->addSeparator();
  add("&Close", SC_CLOSE, true);
  menu->popup(global_pos);
}

void TCustomForm::Activate() {
  OnActivate(this);
}
void TCustomForm::Deactivate() {
  OnDeactivate(this);
}

namespace {

// Offers a dialog key to every control of `parent`, depth first; true when
// one took it.
bool OfferDialogKey(TWinControl* parent, std::uint16_t key) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c->Perform(CM_DIALOGKEY, key) != 0) return true;
    if (auto* win = dynamic_cast<TWinControl*>(c); win != nullptr && OfferDialogKey(win, key))
      return true;
  }
  return false;
}

}  // namespace

void TCustomForm::KeyDown(std::uint16_t& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  // Enter and Escape that no control took go to the default and cancel
  // buttons.
  if ((key == VK_RETURN || key == VK_ESCAPE) && OfferDialogKey(this, key)) key = 0;
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      return;
    case WM_ACTIVATE: {
      const bool active = LoWord(m.WParam) != WA_INACTIVE;
      if (active == active_) {
        DefaultHandler(m);
        return;
      }
      active_ = active;
      DefaultHandler(m);
      if (active) {
        form_state_ |= fsActivated;
        Activate();
      } else {
        Application->CancelMode(this);
        Deactivate();
      }
      return;
    }
    default:
      TWinControl::Dispatch(m);
  }
}

bool TCustomForm::TranslateEvent(QObject* target, QEvent* e,
                                 const std::function<bool()>& qt_default) {
  QWidget* w = Handle();
  if (target == w) {
    switch (e->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
        if (FrameMouseEvent(e)) return true;
        break;
      case QEvent::Leave:
        if (!frame_pressed_) LeaveFrame();
        break;
      case QEvent::Resize:
      case QEvent::Move: {
        const bool r = qt_default();
        if (!updating_geometry_ && w->isWindow()) {
          const QRect g = w->geometry();
          const TFlagScope updating(updating_geometry_);
          SetBounds(g.x(), g.y(), g.width(), g.height());
        }
        return r;
      }
      case QEvent::Close: {
        TMessage m{WM_CLOSE, 0, 0, 0};
        SendQt(m, [] { return true; });
        // The form decides itself whether it goes away.
        e->ignore();
        return true;
      }
      case QEvent::WindowActivate:
      case QEvent::WindowDeactivate: {
        TMessage m{WM_ACTIVATE, e->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, 0,
                   0};
        return SendQt(m, qt_default);
      }
      case QEvent::WindowStateChange: {
        const Qt::WindowStates s = w->windowState();
        // A window the program minimised or maximised itself stays so for
        // the window system.
        window_state_ = (s & Qt::WindowMinimized) || own_minimized_   ? wsMinimized
                        : (s & Qt::WindowMaximized) || own_maximized_ ? wsMaximized
                                                                      : wsNormal;
        const bool r = qt_default();
        // Minimising and restoring are a change of size for the window's
        // handlers, as the window system tells it.
        const std::uintptr_t kind = window_state_ == wsMinimized   ? SIZE_MINIMIZED
                                    : window_state_ == wsMaximized ? SIZE_MAXIMIZED
                                                                   : SIZE_RESTORED;
        Perform(WM_SIZE, kind, MakeLParam(ClientWidth(), ClientHeight()));
        return r;
      }
      default:
        break;
    }
  }
  return TWinControl::TranslateEvent(target, e, qt_default);
}

TControlFontScope::TControlFontScope(const TFont& font) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  before_ = QApplication::font();
  active_ = true;
  QApplication::setFont(font.ToQFont());
}

TControlFontScope::~TControlFontScope() {
  if (!active_) return;
  QApplication::setFont(before_);
  // Qt leaves a widget that took the face as the application's font with it;
  // one without a font of its own takes what it would have had.
  for (QWidget* w : QApplication::allWidgets())
    if (!w->testAttribute(Qt::WA_SetFont)) w->setFont(QFont());
}
