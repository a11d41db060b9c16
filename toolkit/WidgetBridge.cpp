// The Qt side of a windowed control: Qt's events, keys, modifiers and
// cursors in the toolkit's terms, and each event of a control's widget sent
// through the control's message chain.
#include "toolkit/WidgetBridge.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <cstring>

#include "toolkit/Forms.h"
#include "toolkit/Guards.h"

namespace {

constexpr const char* kControlProperty = "sonarix.TWinControl";

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

std::uintptr_t KeysFromQt(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  std::uintptr_t k = 0;
  if (mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (mods & Qt::ControlModifier) k |= MK_CONTROL;
  if (buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  return k;
}

TMouseAction MouseAction(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
      return maDown;
    case QEvent::MouseButtonRelease:
      return maUp;
    case QEvent::MouseButtonDblClick:
      return maDoubleClick;
    default:
      return maMove;
  }
}

// Buttons beyond the three a message can name count as the left one.
TMouseButton MouseButton(Qt::MouseButton button) {
  switch (button) {
    case Qt::RightButton:
      return mbRight;
    case Qt::MiddleButton:
      return mbMiddle;
    default:
      return mbLeft;
  }
}

// The key a punctuation character is typed with on the US layout: Qt names
// the character, whose code would fall on another key's ('.' on VK_DELETE,
// '(' on VK_DOWN, '{' on VK_F12). 0 for none.
std::uint16_t PunctuationKey(int key) {
  struct TKeyChars {
    const char* chars;
    std::uint16_t vk;
  };
  static constexpr TKeyChars kKeys[] = {
      {";:", VK_OEM_1},      {"=+", VK_OEM_PLUS}, {",<", VK_OEM_COMMA}, {"-_", VK_OEM_MINUS},
      {".>", VK_OEM_PERIOD}, {"/?", VK_OEM_2},    {"`~", VK_OEM_3},     {"[{", VK_OEM_4},
      {"\\|", VK_OEM_5},     {"]}", VK_OEM_6},    {"'\"", VK_OEM_7},
  };
  if (key <= ' ' || key > '~') return 0;
  for (const TKeyChars& k : kKeys)
    if (std::strchr(k.chars, key) != nullptr) return k.vk;
  // The shifted digits.
  if (const char* at = std::strchr(")!@#$%^&*(", key))
    return static_cast<std::uint16_t>('0' + (at - ")!@#$%^&*("));
  return 0;
}

std::uint16_t VirtualKey(int key) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z)
    return static_cast<std::uint16_t>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9)
    return static_cast<std::uint16_t>('0' + (key - Qt::Key_0));
  if (const std::uint16_t punctuation = PunctuationKey(key)) return punctuation;
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

TQtWindow::TQtWindow() {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

bool TQtWindow::event(QEvent* e) {
  if (!control_) return QWidget::event(e);
  return control_->WidgetEvent(this, e, [this, e] { return QWidget::event(e); });
}

void AttachBridge(QWidget* widget, TWinControl* control) {
  if (auto* b = dynamic_cast<TBridgeBase*>(widget)) b->Attach(control);
  widget->setProperty(kControlProperty, QVariant::fromValue<void*>(control));
}

void DetachBridge(QWidget* widget) {
  if (auto* w = dynamic_cast<TBridgeBase*>(widget)) w->Detach();
  widget->setProperty(kControlProperty, QVariant());
}

TMouseMessage MouseMessageOf(const QMouseEvent& event, QPoint pos) {
  TMouseMessage m;
  m.Action = MouseAction(event.type());
  m.Button = MouseButton(event.button());
  m.Shift = ShiftFromQt(event.modifiers(), event.buttons());
  if (m.Action == maDoubleClick) m.Shift |= ssDouble;
  m.Pos = {pos.x(), pos.y()};
  return m;
}

TWinControl* FindControl(const QWidget* widget) {
  if (!widget) return nullptr;
  const QVariant v = widget->property(kControlProperty);
  if (!v.isValid()) return nullptr;
  return static_cast<TWinControl*>(v.value<void*>());
}

void TWinControl::ForwardEventsOf(QWidget* widget) {
  if (!forwarder_) forwarder_ = std::make_unique<TEventForwarder>(this);
  widget->setMouseTracking(true);
  widget->installEventFilter(forwarder_.get());
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
    // No exception may unwind through Qt's event delivery.
    Application->HandleException(this);
    return true;
  }
}

bool TWinControl::SendQt(TMessage& m, const std::function<bool()>& qt_default) {
  QtDispatch d{&m, &qt_default, false, true};
  const TValueScope<QtDispatch*> dispatching(qt_dispatch_, &d);
  const TWndMethod proc = WindowProc();
  proc(m);
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
      const std::uint32_t msg =
          MouseMessageNumber(MouseAction(e->type()), MouseButton(me->button()));
      TMessage m{msg, KeysFromQt(me->modifiers(), me->buttons()), MakeLParam(pos.x(), pos.y()), 0};
      const bool r = SendQt(m, qt_default);
      // A window's pointer input is its own: what the widget ignored does
      // not go on to the parent's window (which would take the pointer
      // from this control).
      if (target == widget_) {
        e->accept();
        return true;
      }
      return own_widget_ ? true : r;
    }
    case QEvent::Enter:
      if (TCustomForm* form = GetParentForm(this); form != nullptr && form != this)
        form->PointerEnteredChild();
      Application->SetMouseControl(this);
      return qt_default();
    case QEvent::Leave:
      // Leaving an inner widget (a combo box's editor, a memo's viewport)
      // for the rest of the control is no leaving; when the pointer leaves
      // the control altogether its own widget hears it too.
      if (target == widget_) Application->MouseLeftWindow(this);
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
  const QRect client = ToQRect(ClientRect());
  // As on Windows, the frame is painted when what is to be painted reaches
  // it: a caret's blink inside the client area leaves the frame be.
  const bool paint_frame =
      (nc.Left || nc.Top || nc.Right || nc.Bottom) &&
      !client.translated(nc.Left, nc.Top).contains(pe->region().boundingRect());
  if (WidgetPaintsItself()) {
    // A wrapped editor paints its client itself; the frame is ours.
    TMessage m{WM_PAINT, 0, 0, 0};
    SendQt(m, qt_default);
    if (paint_frame) {
      QPainter p(widget_);
      TMessage f{WM_NCPAINT, DCParam(&p), 0, 0};
      SendQt(f, qt_default);
    }
    return;
  }
  QPainter p(widget_);
  if (paint_frame) {
    const TPainterSave save(&p);
    TMessage f{WM_NCPAINT, DCParam(&p), 0, 0};
    SendQt(f, qt_default);
  }
  p.translate(nc.Left, nc.Top);
  const QRegion region = pe->region().translated(-nc.Left, -nc.Top) & client;
  if (region.isEmpty()) return;
  p.setClipRegion(region);
  TMessage erase{WM_ERASEBKGND, DCParam(&p), 0, 0};
  SendQt(erase, qt_default);
  TMessage paint{WM_PAINT, DCParam(&p), 0, 0};
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
    // The character is its code point, a letter beyond the BMP included.
    const QList<uint> chars = ke->text().toUcs4();
    if (!chars.isEmpty() && !(ke->modifiers() & Qt::ControlModifier)) {
      TMessage ch{WM_CHAR, static_cast<std::uintptr_t>(chars.front()), 0, 0};
      proc(ch);
      if (ch.Result != 0 || ch.WParam == 0) return true;
    }
  }
  // Qt's handling passes a key the widget does not take on to its parent.
  return qt_default();
}
