#include "toolkit/WindowDrag.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

constexpr const char* kDragProperty = "sonarix.WindowDrag";

// Follows the pointer while the button is held. It sits on the window that
// got the press, which keeps the pointer's events until the release.
class TPointerDrag : public QObject {
 public:
  TPointerDrag(QWidget* window, Qt::Edges edges, QPoint global_pos, QSize min_size)
      : QObject(window),
        window_(window),
        edges_(edges),
        start_pos_(global_pos),
        start_(window->geometry()),
        min_size_(min_size) {
    window->setProperty(kDragProperty, QVariant::fromValue<QObject*>(this));
    window->installEventFilter(this);
  }

  void Finish() {
    if (window_) {
      window_->removeEventFilter(this);
      window_->setProperty(kDragProperty, QVariant());
    }
    deleteLater();
  }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (!(me->buttons() & Qt::LeftButton)) {
          Finish();
          return false;
        }
        Follow(me->globalPosition().toPoint());
        return true;
      }
      case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() != Qt::LeftButton) return true;
        Follow(me->globalPosition().toPoint());
        Finish();
        return true;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        return true;
      case QEvent::Hide:
        Finish();
        return false;
      default:
        return false;
    }
  }

 private:
  void Follow(QPoint pos) {
    if (!window_) return;
    const QRect r = DraggedGeometry(start_, edges_, start_pos_, pos, min_size_);
    if (edges_ == Qt::Edges())
      window_->move(r.topLeft());
    else
      window_->setGeometry(r);
  }

  QPointer<QWidget> window_;
  Qt::Edges edges_;
  QPoint start_pos_;
  QRect start_;
  QSize min_size_;
};

TPointerDrag* DragOf(const QWidget* window) {
  if (!window) return nullptr;
  return static_cast<TPointerDrag*>(window->property(kDragProperty).value<QObject*>());
}

}  // namespace

QRect DraggedGeometry(const QRect& start, Qt::Edges edges, QPoint start_pos, QPoint pos,
                      QSize min_size) {
  const QPoint d = pos - start_pos;
  if (edges == Qt::Edges()) return start.translated(d);
  int left = start.left(), top = start.top();
  int right = start.left() + start.width(), bottom = start.top() + start.height();
  const int min_w = std::max(1, min_size.width()), min_h = std::max(1, min_size.height());
  if (edges & Qt::LeftEdge) left = std::min(left + d.x(), right - min_w);
  if (edges & Qt::RightEdge) right = std::max(right + d.x(), left + min_w);
  if (edges & Qt::TopEdge) top = std::min(top + d.y(), bottom - min_h);
  if (edges & Qt::BottomEdge) bottom = std::max(bottom + d.y(), top + min_h);
  return QRect(left, top, right - left, bottom - top);
}

TDragResult BeginWindowDrag(QWidget* window, Qt::Edges edges, QPoint global_pos, QSize min_size) {
  if (!window || !window->isWindow()) return TDragResult::None;
  if (TPointerDrag* old = DragOf(window)) old->Finish();
  if (QWindow* native = window->windowHandle()) {
    const bool taken =
        edges == Qt::Edges() ? native->startSystemMove() : native->startSystemResize(edges);
    if (taken) return TDragResult::WindowSystem;
  }
  new TPointerDrag(window, edges, global_pos, min_size);
  return TDragResult::Tracking;
}

bool WindowDragActive(const QWidget* window) {
  return DragOf(window) != nullptr;
}
