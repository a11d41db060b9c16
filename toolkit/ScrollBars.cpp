#include "toolkit/ScrollBars.h"

#include <QAbstractScrollArea>
#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

#include "platform/SystemMetrics.h"
#include "toolkit/Forms.h"
#include "toolkit/WidgetBridge.h"

namespace {

int Clamped(long long v) {
  return static_cast<int>(
      std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

TScrollInfo InfoOf(const QScrollBar& b) {
  TScrollInfo info;
  // Qt's maximum is the highest position; Max here is the range's last unit.
  info.Min = b.minimum();
  info.Page = b.pageStep();
  info.Max = Clamped(static_cast<long long>(b.maximum()) + std::max(info.Page - 1, 0));
  info.Pos = b.value();
  info.TrackPos = b.sliderPosition();
  return info;
}

// A scroll bar as thick as the desktop's metrics say, whose look and pointer
// handling a TScrollBarHandler can take over. Range, page and position, the
// wheel and the keyboard stay QScrollBar's.
class TQtScrollBar : public QScrollBar {
 public:
  explicit TQtScrollBar(Qt::Orientation orientation) : QScrollBar(orientation) {}

  TScrollBarHandler* Handler() const { return handler_; }
  void SetHandler(TScrollBarHandler* handler) {
    if (handler == handler_) return;
    handler_ = handler;
    // A drag Qt had begun ends here; the handler sees moves without a button.
    if (isSliderDown()) setSliderDown(false);
    setMouseTracking(handler != nullptr);
    // A handler paints every pixel of the bar: nothing beneath it needs
    // painting first.
    setAttribute(Qt::WA_OpaquePaintEvent, handler != nullptr);
    shown_ = InfoOf(*this);
    update();
  }

  QSize sizeHint() const override {
    QSize size = QScrollBar::sizeHint();
    if (orientation() == Qt::Vertical)
      size.setWidth(platform::GetSystemMetrics(platform::SM_CXVSCROLL));
    else
      size.setHeight(platform::GetSystemMetrics(platform::SM_CYHSCROLL));
    return size;
  }

  // Slider changes between the two are repainted at the last as one.
  void Hold() { ++held_; }
  void Release() {
    if (--held_ > 0 || !changed_) return;
    changed_ = false;
    RepaintChange();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (!handler_) {
      QScrollBar::paintEvent(e);
      return;
    }
    // Whatever changed without a slider change repainted the whole bar.
    if (!changed_) shown_ = InfoOf(*this);
    Guarded([this, e] {
      QPainter p(this);
      // The handler draws what the clip lets through.
      p.setClipRegion(e->region());
      handler_->PaintBar(&p, {width(), height()});
    });
  }
  void sliderChange(SliderChange change) override {
    if (!handler_ || change == SliderOrientationChange) {
      QScrollBar::sliderChange(change);
      return;
    }
    if (held_ > 0) {
      changed_ = true;
      return;
    }
    RepaintChange();
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (!Forward(e)) QScrollBar::mousePressEvent(e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (!Forward(e)) QScrollBar::mouseReleaseEvent(e);
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!Forward(e)) QScrollBar::mouseMoveEvent(e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    // Qt's bar takes a double click as a second press; a handler is told.
    if (!Forward(e)) QScrollBar::mousePressEvent(e);
  }
  void leaveEvent(QEvent* e) override {
    QScrollBar::leaveEvent(e);
    if (handler_) Guarded([this] { handler_->BarMouseLeave(); });
  }
  void contextMenuEvent(QContextMenuEvent* e) override {
    // Qt's menu places the slider by its own style's geometry, which a
    // handler's look does not share.
    if (handler_) {
      e->accept();
      return;
    }
    QScrollBar::contextMenuEvent(e);
  }

 private:
  // A line added to a long text moves the slider by a pixel or not at all:
  // the handler says what its look lost, and only that is repainted.
  void RepaintChange() {
    if (!handler_) return;
    const TScrollInfo now = InfoOf(*this);
    TRect changed = Bounds(0, 0, width(), height());
    Guarded([&] { changed = handler_->ChangedArea(shown_, now, {width(), height()}); });
    shown_ = now;
    if (!changed.IsEmpty()) update(changed.Left, changed.Top, changed.Width(), changed.Height());
  }
  // Hands a pointer event to the handler; false when there is none.
  bool Forward(QMouseEvent* e) {
    if (!handler_) return false;
    e->accept();
    const TMouseMessage message = MouseMessageOf(*e, e->position().toPoint());
    Guarded([this, &message] { handler_->BarMouse(message); });
    return true;
  }
  // An exception must not cross Qt's event delivery: it goes to the
  // application's handler, as one from any control does.
  template <class F>
  void Guarded(F&& f) {
    try {
      f();
    } catch (...) {
      Application->HandleException(OwnerControl());
    }
  }
  TWinControl* OwnerControl() const {
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget())
      if (TWinControl* c = FindControl(w)) return c;
    return nullptr;
  }

  TScrollBarHandler* handler_ = nullptr;
  // The information the pixels on the screen (or waiting to be painted)
  // show.
  TScrollInfo shown_;
  int held_ = 0;
  bool changed_ = false;
};

QAbstractScrollArea* AreaOf(const TWinControl* control) {
  return control != nullptr ? qobject_cast<QAbstractScrollArea*>(control->Handle()) : nullptr;
}

QScrollBar* BarOf(const TWinControl* control, TScrollBarKind bar) {
  QAbstractScrollArea* area = AreaOf(control);
  if (area == nullptr) return nullptr;
  return bar == SB_VERT ? area->verticalScrollBar() : area->horizontalScrollBar();
}

}  // namespace

TRect TScrollBarHandler::ChangedArea(const TScrollInfo&, const TScrollInfo&, TPoint size) {
  return Bounds(0, 0, size.X, size.Y);
}

int TScrollInfo::MaxPos() const {
  return Clamped(static_cast<long long>(Max) - std::max(Page - 1, 0));
}

bool GetScrollInfo(const TWinControl* control, TScrollBarKind bar, TScrollInfo& info) {
  const QScrollBar* b = BarOf(control, bar);
  if (b == nullptr) return false;
  info = InfoOf(*b);
  return true;
}

bool ScrollBarShown(const TWinControl* control, TScrollBarKind bar) {
  const QScrollBar* b = BarOf(control, bar);
  return b != nullptr && b->isVisibleTo(AreaOf(control));
}

bool ScrollBarEnabled(const TWinControl* control, TScrollBarKind bar) {
  TScrollInfo info;
  return ScrollBarShown(control, bar) && control->Enabled() && GetScrollInfo(control, bar, info) &&
         info.Scrolls();
}

TRect ScrollBarRect(const TWinControl* control, TScrollBarKind bar) {
  const QScrollBar* b = BarOf(control, bar);
  if (b == nullptr) return {};
  const QPoint at = b->mapTo(AreaOf(control), QPoint(0, 0));
  return Bounds(at.x(), at.y(), b->width(), b->height());
}

void InvalidateScrollBar(const TWinControl* control, TScrollBarKind bar) {
  if (QScrollBar* b = BarOf(control, bar)) b->update();
}

void ScrollControl(TWinControl* control, TScrollBarKind bar, int code, int pos) {
  QScrollBar* b = BarOf(control, bar);
  if (b == nullptr) return;
  const long long line = std::max(b->singleStep(), 1);
  const long long page = std::max(b->pageStep(), 1);
  const long long value = b->value();
  auto to = [b](long long v) {
    return Clamped(std::clamp<long long>(v, b->minimum(), b->maximum()));
  };
  switch (code) {
    case SB_LINEUP:
      b->setValue(to(value - line));
      break;
    case SB_LINEDOWN:
      b->setValue(to(value + line));
      break;
    case SB_PAGEUP:
      b->setValue(to(value - page));
      break;
    case SB_PAGEDOWN:
      b->setValue(to(value + page));
      break;
    case SB_TOP:
      b->setValue(b->minimum());
      break;
    case SB_BOTTOM:
      b->setValue(b->maximum());
      break;
    case SB_THUMBTRACK:
      // The bar tracks (Qt's default): the content follows the slider now.
      b->setSliderDown(true);
      b->setSliderPosition(to(pos));
      break;
    case SB_THUMBPOSITION:
      b->setSliderPosition(to(pos));
      b->setValue(to(pos));
      break;
    case SB_ENDSCROLL:
      b->setSliderDown(false);
      break;
    default:
      break;
  }
}

bool SetScrollBarHandler(TWinControl* control, TScrollBarKind bar, TScrollBarHandler* handler) {
  auto* b = dynamic_cast<TQtScrollBar*>(BarOf(control, bar));
  if (b == nullptr) return false;
  b->SetHandler(handler);
  return true;
}

TScrollBarHandler* ScrollBarHandler(const TWinControl* control, TScrollBarKind bar) {
  auto* b = dynamic_cast<TQtScrollBar*>(BarOf(control, bar));
  return b != nullptr ? b->Handler() : nullptr;
}

TScrollBarBatch::TScrollBarBatch(QAbstractScrollArea* area) : area_(area) {
  for (QScrollBar* b : {area_->verticalScrollBar(), area_->horizontalScrollBar()})
    if (auto* t = dynamic_cast<TQtScrollBar*>(b)) t->Hold();
}

TScrollBarBatch::~TScrollBarBatch() {
  for (QScrollBar* b : {area_->verticalScrollBar(), area_->horizontalScrollBar()})
    if (auto* t = dynamic_cast<TQtScrollBar*>(b)) t->Release();
}

void InstallScrollBars(QAbstractScrollArea* area) {
  // Qt hands the old bar's range, page, steps and position to the new one.
  area->setVerticalScrollBar(new TQtScrollBar(Qt::Vertical));
  area->setHorizontalScrollBar(new TQtScrollBar(Qt::Horizontal));
}
