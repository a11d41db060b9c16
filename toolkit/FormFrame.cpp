// The frame a form paints itself (TCustomForm::SetOwnFrame): which part of
// it lies under the pointer, the sizing cursors of its borders, the
// non-client mouse messages made from pointer events over it, and what the
// window system would do with them (move, size, maximise, the window menu,
// WM_SYSCOMMAND).
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

#include "platform/SystemMetrics.h"
#include "toolkit/Forms.h"
#include "toolkit/WindowSystem.h"

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
      const bool unrolled = unrolled_by_press_;
      unrolled_by_press_ = false;
      move_pending_ = false;
      if (hit == HTCAPTION && own_minimized_) {
        // The caption bar of a window minimised without a window manager
        // is its button on the desktop: a click gives the window back.
        unrolled_by_press_ = true;
        Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
      } else if (hit == HTCAPTION && WindowManagerPresent() && !unrolled) {
        // The window manager takes the pointer once it moves the window:
        // wait for the pointer to go the drag distance, so that a second
        // click still reaches the program as a double click.
        move_pending_ = true;
        move_from_ = g;
      } else if (hit == HTCAPTION) {
        StartSystemMove(g);
      } else if (EdgesOfHitTest(hit) != Qt::Edges() && window_state_ == wsNormal &&
                 (border_style_ == TFormBorderStyle::bsSizeable ||
                  border_style_ == TFormBorderStyle::bsSizeToolWin))
        StartSystemResize(EdgesOfHitTest(hit), g);
      return;
    }
    case WM_NCMOUSEMOVE:
      if (move_pending_ && frame_pressed_) {
        const QPoint g(LParamX(m.LParam), LParamY(m.LParam));
        if (std::abs(g.x() - move_from_.x()) > platform::GetSystemMetrics(platform::SM_CXDRAG) ||
            std::abs(g.y() - move_from_.y()) > platform::GetSystemMetrics(platform::SM_CYDRAG)) {
          move_pending_ = false;
          StartSystemMove(g);
        }
      } else {
        move_pending_ = false;
      }
      TWinControl::DefaultHandler(m);
      return;
    case WM_NCLBUTTONUP:
      move_pending_ = false;
      TWinControl::DefaultHandler(m);
      return;
    case WM_NCLBUTTONDBLCLK:
      move_pending_ = false;
      // The second click on a caption bar whose first click gave the
      // window back is not a double click on the window's caption.
      if (unrolled_by_press_) {
        unrolled_by_press_ = false;
        return;
      }
      if (static_cast<int>(m.WParam) == HTCAPTION && own_minimized_) {
        Perform(WM_SYSCOMMAND, SC_RESTORE, 0);
        return;
      }
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
        case SC_SIZE:
          // From the bottom right corner, as far as the pointer goes.
          StartSystemResize(Qt::BottomEdge | Qt::RightEdge, QCursor::pos());
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
      drag_started_ = false;
      Perform(WM_NCMOUSEMOVE, static_cast<std::uintptr_t>(hit), lp);
      // A move begun now took the pointer: its release does not come here.
      if (drag_started_) frame_pressed_ = false;
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
