// The Qt side of a windowed control: widgets that hand every event to their
// control first. Internal to the toolkit.
#pragma once

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

#include "toolkit/Controls.h"

// The link from a widget to its control; set once the control exists, so
// that events of a widget under construction reach no half-built control.
class TBridgeBase {
 public:
  virtual ~TBridgeBase() = default;
  void Attach(TWinControl* control) { control_ = control; }
  void Detach() { control_ = nullptr; }
  TWinControl* Control() const { return control_; }

 protected:
  TWinControl* control_ = nullptr;
};

// Wraps a Qt widget class so that its events go through the control's
// message chain; Qt's own handling runs when the chain reaches the default.
template <class Base>
class TWidgetBridge : public Base, public TBridgeBase {
 public:
  template <class... Args>
  explicit TWidgetBridge(Args&&... args) : Base(std::forward<Args>(args)...) {}

 protected:
  bool event(QEvent* e) override {
    if (!control_) return Base::event(e);
    return control_->WidgetEvent(this, e, [this, e] { return Base::event(e); });
  }
};

// A plain window that the control paints itself. It keeps mouse events to
// itself: none is passed on to the parent widget.
class TQtWindow : public QWidget, public TBridgeBase {
 public:
  TQtWindow();

 protected:
  bool event(QEvent* e) override;
  void mousePressEvent(QMouseEvent*) override {}
  void mouseReleaseEvent(QMouseEvent*) override {}
  void mouseDoubleClickEvent(QMouseEvent*) override {}
  void mouseMoveEvent(QMouseEvent*) override {}
};

// Links `widget` to `control` (FindControl finds it from then on) and, when
// the widget is a bridge, sends its events to the control.
void AttachBridge(QWidget* widget, TWinControl* control);
// Undoes AttachBridge.
void DetachBridge(QWidget* widget);

// A Qt mouse event as the toolkit's mouse message, at `pos`.
TMouseMessage MouseMessageOf(const QMouseEvent& event, QPoint pos);
