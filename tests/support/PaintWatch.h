// Collects the regions a widget is asked to paint, for tests of what a
// change repaints.
#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

#include <utility>

namespace sxtest {

class TPaintWatch : public QObject {
 public:
  explicit TPaintWatch(QWidget* w) : w_(w) { w->installEventFilter(this); }
  ~TPaintWatch() override { w_->removeEventFilter(this); }
  TPaintWatch(const TPaintWatch&) = delete;
  TPaintWatch& operator=(const TPaintWatch&) = delete;
  // What was painted since the last Take (or since the watch began).
  const QRegion& Painted() const { return painted_; }
  QRegion Take() { return std::exchange(painted_, QRegion()); }

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted_ += static_cast<QPaintEvent*>(e)->region();
    return false;
  }

 private:
  QWidget* w_;
  QRegion painted_;
};

}  // namespace sxtest
