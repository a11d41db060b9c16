#include "toolkit/Forms.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QToolTip>
#include <QWindow>

#include <algorithm>

#include "platform/SystemMetrics.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Guards.h"
#include "toolkit/SysUtils.h"
#include "toolkit/Thread.h"
#include "toolkit/WidgetBridge.h"

namespace {
TApplication g_application;
TScreen g_screen;
}  // namespace

TApplication* Application = &g_application;
TScreen* Screen = &g_screen;

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
    w->setMinimumSize(0, 0);
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

void TCustomForm::SetWindowState(TWindowState state) {
  if (state == window_state_) return;
  const TWindowState old = window_state_;
  window_state_ = state;
  QWidget* w = Handle();
  if (!w || !Visible()) return;
  if (own_frame_) {
    // Without the window system's frame the program maximises within the
    // work area itself: a window manager may not be there to do it.
    if (state != wsMinimized && old == wsMinimized) w->showNormal();
    switch (state) {
      case wsMinimized:
        w->showMinimized();
        break;
      case wsMaximized:
        MaximizeOwnFrame();
        break;
      case wsNormal:
        RestoreOwnFrame();
        break;
    }
    return;
  }
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

void TCustomForm::SetOwnFrame(bool value) {
  if (value == own_frame_) return;
  own_frame_ = value;
  if (!value) {
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
  if (own_maximized_) {
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
  QWidget* w = Handle();
  if (!w) return;
  if (region.isEmpty())
    w->clearMask();
  else
    w->setMask(region);
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
        w->showMinimized();
        break;
      case wsMaximized:
        if (own_frame_) {
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
  if (!w || own_maximized_) return TDragResult::None;
  drag_started_ = true;
  return BeginWindowDrag(w, Qt::Edges(), global_pos);
}

TDragResult TCustomForm::StartSystemResize(Qt::Edges edges, QPoint global_pos) {
  QWidget* w = Handle();
  if (!w || own_maximized_ || edges == Qt::Edges()) return TDragResult::None;
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
  add("&Size", SC_SIZE, false);
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

Qt::Edges EdgesOfHitTest(int hit) {
  switch (hit) {
    case HTLEFT:
      return Qt::LeftEdge;
    case HTRIGHT:
      return Qt::RightEdge;
    case HTTOP:
      return Qt::TopEdge;
    case HTBOTTOM:
      return Qt::BottomEdge;
    case HTTOPLEFT:
      return Qt::TopEdge | Qt::LeftEdge;
    case HTTOPRIGHT:
      return Qt::TopEdge | Qt::RightEdge;
    case HTBOTTOMLEFT:
      return Qt::BottomEdge | Qt::LeftEdge;
    case HTBOTTOMRIGHT:
    case HTGROWBOX:
      return Qt::BottomEdge | Qt::RightEdge;
    default:
      return Qt::Edges();
  }
}

TCursor CursorOfHitTest(int hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT:
      return crSizeWE;
    case HTTOP:
    case HTBOTTOM:
      return crSizeNS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT:
    case HTGROWBOX:
      return crSizeNWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT:
      return crSizeNESW;
    default:
      return crDefault;
  }
}

int FrameHitTest(TPoint p, int width, int height, const TRect& margins, int frame, bool sizeable) {
  if (p.X < 0 || p.Y < 0 || p.X >= width || p.Y >= height) return HTNOWHERE;
  if (p.X >= margins.Left && p.X < width - margins.Right && p.Y >= margins.Top &&
      p.Y < height - margins.Bottom)
    return HTCLIENT;
  const int b = std::max(1, frame);
  const bool left = p.X < b, right = p.X >= width - b;
  const bool top = p.Y < b, bottom = p.Y >= height - b;
  if (!sizeable)
    return !left && !right && !top && !bottom && p.Y < margins.Top ? HTCAPTION : HTBORDER;
  // Corners reach along the edges as far as a caption button is wide.
  const int corner = b + platform::GetSystemMetrics(platform::SM_CXSIZE);
  const bool near_left = p.X < corner, near_right = p.X >= width - corner;
  const bool near_top = p.Y < corner, near_bottom = p.Y >= height - corner;
  if (top) return near_left ? HTTOPLEFT : near_right ? HTTOPRIGHT : HTTOP;
  if (bottom) return near_left ? HTBOTTOMLEFT : near_right ? HTBOTTOMRIGHT : HTBOTTOM;
  if (left) return near_top ? HTTOPLEFT : near_bottom ? HTBOTTOMLEFT : HTLEFT;
  if (right) return near_top ? HTTOPRIGHT : near_bottom ? HTBOTTOMRIGHT : HTRIGHT;
  return p.Y < margins.Top ? HTCAPTION : HTBORDER;
}

int TCustomForm::DefaultHitTest(TPoint p) const {
  const TRect m = FrameMargins();
  const bool sizeable = (border_style_ == TFormBorderStyle::bsSizeable ||
                         border_style_ == TFormBorderStyle::bsSizeToolWin) &&
                        window_state_ == wsNormal;
  return FrameHitTest(p, Width(), Height(), m, std::min({m.Left, m.Right, m.Bottom}), sizeable);
}

void TCustomForm::SetFrameCursor(int hit) {
  QWidget* w = Handle();
  if (!w) return;
  const TCursor c = CursorOfHitTest(hit);
  if (c != crDefault) {
    w->setCursor(Screen->Cursors(c));
    frame_cursor_ = true;
  } else if (frame_cursor_) {
    frame_cursor_ = false;
    if (Cursor() != crDefault)
      w->setCursor(Screen->Cursors(Cursor()));
    else
      w->unsetCursor();
  }
}

void TCustomForm::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_NCHITTEST: {
      const TPoint origin = ClientOrigin();
      const TRect fm = FrameMargins();
      m.Result = DefaultHitTest(
          {LParamX(m.LParam) - origin.X + fm.Left, LParamY(m.LParam) - origin.Y + fm.Top});
      return;
    }
    case WM_SETCURSOR:
      SetFrameCursor(static_cast<std::int16_t>(LoWord(static_cast<std::uintptr_t>(m.LParam))));
      m.Result = 1;
      return;
    case WM_NCLBUTTONDOWN: {
      const QPoint g(LParamX(m.LParam), LParamY(m.LParam));
      const int hit = static_cast<int>(m.WParam);
      if (hit == HTCAPTION)
        StartSystemMove(g);
      else if (EdgesOfHitTest(hit) != Qt::Edges() && window_state_ == wsNormal &&
               (border_style_ == TFormBorderStyle::bsSizeable ||
                border_style_ == TFormBorderStyle::bsSizeToolWin))
        StartSystemResize(EdgesOfHitTest(hit), g);
      return;
    }
    case WM_NCLBUTTONDBLCLK:
      if (static_cast<int>(m.WParam) == HTCAPTION && (border_icons_ & biMaximize) &&
          (border_style_ == TFormBorderStyle::bsSizeable ||
           border_style_ == TFormBorderStyle::bsSizeToolWin))
        Perform(WM_SYSCOMMAND, window_state_ == wsMaximized ? SC_RESTORE : SC_MAXIMIZE, 0);
      return;
    case WM_NCRBUTTONUP:
      if (static_cast<int>(m.WParam) == HTCAPTION || static_cast<int>(m.WParam) == HTSYSMENU)
        ShowSystemMenu(QPoint(LParamX(m.LParam), LParamY(m.LParam)));
      return;
    case WM_SYSCOMMAND:
      switch (m.WParam & 0xFFF0) {
        case SC_MINIMIZE:
          SetWindowState(wsMinimized);
          break;
        case SC_MAXIMIZE:
          SetWindowState(wsMaximized);
          break;
        case SC_RESTORE:
          // A maximised window that was minimised comes back maximised.
          SetWindowState(window_state_ == wsMinimized && own_maximized_ ? wsMaximized : wsNormal);
          break;
        case SC_CLOSE:
          Close();
          break;
        case SC_MOVE:
          StartSystemMove(QCursor::pos());
          break;
        default:
          break;
      }
      return;
    default:
      TWinControl::DefaultHandler(m);
  }
}

void TCustomForm::PointerEnteredChild() {
  if (!frame_pressed_) LeaveFrame();
}

void TCustomForm::LeaveFrame() {
  if (!pointer_in_frame_) return;
  pointer_in_frame_ = false;
  SetFrameCursor(HTCLIENT);
  Perform(WM_NCMOUSELEAVE);
}

bool TCustomForm::FrameMouseEvent(QEvent* e) {
  QWidget* w = Handle();
  auto* me = static_cast<QMouseEvent*>(e);
  const QPoint local = me->position().toPoint();
  const QPoint global = me->globalPosition().toPoint();
  const bool press =
      e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick;
  const bool release = e->type() == QEvent::MouseButtonRelease;
  // A press in the client area keeps the pointer's messages there until
  // the last button is up, and one over the frame keeps them non-client.
  if (client_pressed_) {
    if (me->buttons() == Qt::NoButton) client_pressed_ = false;
    return false;
  }
  if (frame_pressed_ && me->buttons() == Qt::NoButton && !release) frame_pressed_ = false;
  const TRect m = FrameMargins();
  const TRect client = ClientRect().Offset(m.Left, m.Top);
  if (!frame_pressed_ && client.Contains({local.x(), local.y()})) {
    LeaveFrame();
    if (press) client_pressed_ = true;
    return false;
  }
  const std::intptr_t lp = MakeLParam(global.x(), global.y());
  const int hit = static_cast<int>(Perform(WM_NCHITTEST, 0, lp));
  if (!pointer_in_frame_) {
    pointer_in_frame_ = true;
    // The windowless control the pointer was over is left behind.
    Application->SetMouseControl(nullptr);
  }
  const Qt::MouseButton b = me->button();
  switch (e->type()) {
    case QEvent::MouseMove:
      Perform(WM_SETCURSOR, reinterpret_cast<std::uintptr_t>(w),
              MakeLParam(hit, static_cast<int>(WM_MOUSEMOVE)));
      Perform(WM_NCMOUSEMOVE, static_cast<std::uintptr_t>(hit), lp);
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      const bool dbl = e->type() == QEvent::MouseButtonDblClick;
      if (b == Qt::LeftButton) {
        frame_pressed_ = true;
        drag_started_ = false;
        Perform(dbl ? WM_NCLBUTTONDBLCLK : WM_NCLBUTTONDOWN, static_cast<std::uintptr_t>(hit), lp);
        // A move or size took the pointer: its release does not come here.
        if (drag_started_) frame_pressed_ = false;
      } else if (b == Qt::RightButton) {
        Perform(dbl ? WM_NCRBUTTONDBLCLK : WM_NCRBUTTONDOWN, static_cast<std::uintptr_t>(hit), lp);
      }
      break;
    }
    case QEvent::MouseButtonRelease:
      if (me->buttons() == Qt::NoButton) frame_pressed_ = false;
      if (b == Qt::LeftButton)
        Perform(WM_NCLBUTTONUP, static_cast<std::uintptr_t>(hit), lp);
      else if (b == Qt::RightButton)
        Perform(WM_NCRBUTTONUP, static_cast<std::uintptr_t>(hit), lp);
      break;
    default:
      break;
  }
  if (!frame_pressed_ && !client.Contains({local.x(), local.y()}) &&
      !QRect(0, 0, Width(), Height()).contains(local))
    LeaveFrame();
  return true;
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
        // A window the program maximised itself stays so for the window system.
        window_state_ = (s & Qt::WindowMinimized)                     ? wsMinimized
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

// ---- TApplication --------------------------------------------------------------

namespace {
int g_argc = 1;
char g_arg0[] = "sonarix";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

class TWindowHookFilter : public QObject {
 public:
  struct Hook {
    int handle;
    TWindowHookProc proc;
  };
  std::vector<Hook> hooks;
  std::vector<QPointer<QWidget>> seen;

  bool eventFilter(QObject* o, QEvent* e) override {
    if (hooks.empty() || !o->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(o);
    if (!w->isWindow()) return false;
    if (e->type() == QEvent::Show) {
      auto it = std::find(seen.begin(), seen.end(), w);
      if (it == seen.end()) {
        seen.emplace_back(w);
        QObject::connect(w, &QObject::destroyed, this, [this, w] {
          seen.erase(
              std::remove_if(seen.begin(), seen.end(),
                             [w](const QPointer<QWidget>& p) { return p.isNull() || p == w; }),
              seen.end());
          Fire(TWindowHookKind::whDestroy, w);
        });
        Fire(TWindowHookKind::whCreate, w);
      }
    } else if (e->type() == QEvent::WindowActivate) {
      Fire(TWindowHookKind::whActivate, w);
    }
    return false;
  }

  void Fire(TWindowHookKind kind, QWidget* w) {
    const std::vector<Hook> copy = hooks;
    for (const Hook& h : copy) ReportExceptions(Application, [&] { h.proc(kind, w); });
  }
};

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  // By now the program has finalised; what Qt objects remain cannot be
  // freed safely this late, when Qt's own statics may be gone.
  if (own_app_) (void)own_app_.release();
  (void)hook_filter_.release();
}

void TApplication::ReleaseQtObjects() {
  DestroyForms();
  delete handle_;
  handle_ = nullptr;
  if (hook_filter_ && QCoreApplication::instance())
    QCoreApplication::instance()->removeEventFilter(hook_filter_.get());
  hook_filter_.reset();
}

void TApplication::Finalize() {
  ReleaseQtObjects();
  own_app_.reset();
}

void TApplication::Initialize() {
  Initialize(g_argc, g_argv);
}

void TApplication::Initialize(int& argc, char** argv) {
  if (!QCoreApplication::instance()) {
    own_app_ = std::make_unique<QApplication>(argc, argv);
  }
  // Forms still alive when the Qt application goes are freed first.
  static bool post_routine = false;
  if (!post_routine) {
    post_routine = true;
    qAddPostRoutine([] { Application->ReleaseQtObjects(); });
  }
  RegisterProgramFonts();
  terminated_ = false;
}

void TApplication::SetTitle(const std::string& title) {
  if (title == title_) return;
  // The title captions the error boxes. Qt's application name is left to
  // the program: X11 window managers and desktops know the windows by it.
  title_ = title;
}

QWidget* TApplication::Handle() {
  if (!handle_) {
    handle_ = new QWidget;
    handle_->setWindowTitle(QString());
  }
  return handle_;
}

void TApplication::Run() {
  if (main_form_ && show_main_form_) main_form_->Show();
  while (!terminated_) {
    // An error that no handler caught is shown, and the loop goes on.
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  CheckSynchronize();
  DoReleases();
}

void TApplication::HandleMessage() {
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  // Idle: the calls worker threads queued, and forms released meanwhile.
  CheckSynchronize();
  DoReleases();
}

void TApplication::Terminate() {
  terminated_ = true;
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

std::string TApplication::ExceptionText(const std::string& message) {
  std::string text = message;
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
    text += '.';
  return text;
}

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr error = std::current_exception();
  if (!error) return;
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    // Silent by design.
  } catch (const std::exception& e) {
    if (OnException)
      OnException(sender, e);
    else
      ShowException(e);
  } catch (...) {
    const Exception unknown("Unknown exception");
    if (OnException)
      OnException(sender, unknown);
    else
      ShowException(unknown);
  }
}

void TApplication::ShowException(const std::exception& e) {
  MessageBox(ExceptionText(e.what()), title_, MB_OK | MB_ICONSTOP);
}

void TApplication::ActivateHint(TControl* control, const QPoint& global_pos) {
  hint_ = control->Hint();
  OnHint(this);
  QWidget* w = nullptr;
  QRect rect;
  if (control->IsWindowed()) {
    w = static_cast<TWinControl*>(control)->Handle();
    if (w) rect = w->rect();
  } else if (control->Parent()) {
    w = control->Parent()->Handle();
    const TRect nc = control->Parent()->FrameMargins();
    const TRect b = control->BoundsRect().Offset(nc.Left, nc.Top);
    rect = QRect(b.Left, b.Top, b.Width(), b.Height());
  }
  QToolTip::showText(global_pos, ToQString(hint_), w, rect);
}

void TApplication::CancelHint() {
  hint_.clear();
  QToolTip::hideText();
}

void TApplication::InstallHooks() {
  if (hook_filter_ || !QCoreApplication::instance()) return;
  hook_filter_ = std::make_unique<TWindowHookFilter>();
  QCoreApplication::instance()->installEventFilter(hook_filter_.get());
}

int TApplication::HookWindows(TWindowHookProc proc) {
  InstallHooks();
  auto* f = static_cast<TWindowHookFilter*>(hook_filter_.get());
  if (!f) return 0;
  const int handle = next_hook_++;
  f->hooks.push_back({handle, std::move(proc)});
  return handle;
}

void TApplication::UnhookWindows(int handle) {
  auto* f = static_cast<TWindowHookFilter*>(hook_filter_.get());
  if (!f) return;
  f->hooks.erase(
      std::remove_if(f->hooks.begin(), f->hooks.end(),
                     [handle](const TWindowHookFilter::Hook& h) { return h.handle == handle; }),
      f->hooks.end());
}

void TApplication::FireHook(TWindowHookKind kind, QWidget* window) {
  if (auto* f = static_cast<TWindowHookFilter*>(hook_filter_.get())) f->Fire(kind, window);
}

namespace {

// The window whose cursor shows over `control`: its own, or for a
// windowless control its parent's.
QWidget* CursorWindowOf(TControl* control) {
  if (control->IsWindowed()) return static_cast<TWinControl*>(control)->Handle();
  return control->Parent() != nullptr ? control->Parent()->Handle() : nullptr;
}

}  // namespace

void TApplication::SetMouseControl(TControl* control) {
  if (control == mouse_control_) return;
  TControl* old = mouse_control_;
  mouse_control_ = control;
  if (old) {
    old->Perform(CM_MOUSELEAVE);
    if (!old->IsWindowed() && old->Parent() && old->Parent()->Handle())
      old->Parent()->Handle()->unsetCursor();
  }
  if (control && mouse_control_ == control) {
    control->Perform(CM_MOUSEENTER);
    if (mouse_control_ == control && control->Cursor() != crDefault) {
      if (QWidget* w = CursorWindowOf(control)) w->setCursor(Screen->Cursors(control->Cursor()));
    }
  }
}

void TApplication::CursorChanged(TControl* control) {
  if (control == nullptr || control != mouse_control_) return;
  QWidget* w = CursorWindowOf(control);
  if (w == nullptr) return;
  // A windowless control without a shape of its own shows its parent's.
  TControl* shown = control;
  if (shown->Cursor() == crDefault && !shown->IsWindowed() && shown->Parent() != nullptr)
    shown = shown->Parent();
  if (shown->Cursor() != crDefault) {
    w->setCursor(Screen->Cursors(shown->Cursor()));
  } else {
    w->unsetCursor();
  }
}

void TApplication::MouseLeftWindow(TWinControl* window) {
  if (!mouse_control_) return;
  if (mouse_control_ == window || mouse_control_->Parent() == window) SetMouseControl(nullptr);
}

void TApplication::CancelMode(TCustomForm* form) {
  TControl* control = mouse_control_;
  if (!control || (form && GetParentForm(control) != form)) return;
  SetMouseControl(nullptr);
  control->Perform(WM_CANCELMODE);
  // A windowless control's press is held by its window.
  if (!control->IsWindowed() && control->Parent()) control->Parent()->Perform(WM_CANCELMODE);
}

void TApplication::ControlDestroying(TControl* control) {
  if (mouse_control_ == control) mouse_control_ = nullptr;
  if (main_form_ == control) main_form_ = nullptr;
  released_.erase(std::remove(released_.begin(), released_.end(), control), released_.end());
}

void TApplication::WindowCreated(TWinControl*) {}

void TApplication::ReleaseForm(TCustomForm* form) {
  if (std::find(released_.begin(), released_.end(), form) == released_.end())
    released_.push_back(form);
  if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance()) d->wakeUp();
}

void TApplication::DoReleases() {
  while (!released_.empty()) {
    TCustomForm* f = released_.back();
    released_.pop_back();
    delete f;
  }
}

void TApplication::DestroyForms() {
  released_.clear();
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  main_form_ = nullptr;
  mouse_control_ = nullptr;
}

// ---- TScreen ----------------------------------------------------------------

int TScreen::Width() const {
  if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().width();
  return 1024;
}

int TScreen::Height() const {
  if (QScreen* s = QGuiApplication::primaryScreen()) return s->geometry().height();
  return 768;
}

QCursor TScreen::Cursors(TCursor index) const {
  auto it = cursors_.find(index);
  if (it != cursors_.end()) return it->second;
  return QCursor(CursorShape(index));
}

TCustomForm* TScreen::ActiveForm() const {
  return GetParentForm(FindControl(QApplication::activeWindow()));
}
