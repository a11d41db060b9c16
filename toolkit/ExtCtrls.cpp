#include "toolkit/ExtCtrls.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>

#include "toolkit/Forms.h"
#include "toolkit/Guards.h"
#include "toolkit/StdCtrls.h"

// ---- TCustomPanel ----------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(ControlStyle() | csAcceptsControls | csSetCaption | csOpaque |
                  csParentBackground);
  SetColor(clBtnFace);
  SetBounds(0, 0, 185, 41);
}

void TCustomPanel::SetBevelOuter(TBevelCut value) {
  if (value == bevel_outer_) return;
  bevel_outer_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut value) {
  if (value == bevel_inner_) return;
  bevel_inner_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int value) {
  if (value == bevel_width_) return;
  bevel_width_ = value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle value) {
  if (value == border_style_) return;
  border_style_ = value;
  ResetFrameMargins();
}

void TCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  Invalidate();
}

TRect TCustomPanel::DefaultFrameMargins() const {
  return border_style_ == TBorderStyle::bsSingle ? Rect(2, 2, 2, 2) : TRect{};
}

void TCustomPanel::PaintFrame(HDC dc) {
  if (border_style_ == TBorderStyle::bsSingle) DrawSunkenEdge(dc, Rect(0, 0, Width(), Height()));
}

void TCustomPanel::AdjustClientRect(TRect& rect) const {
  TCustomControl::AdjustClientRect(rect);
  int inset = 0;
  if (bevel_outer_ != bvNone) inset += bevel_width_;
  if (bevel_inner_ != bvNone) inset += bevel_width_;
  rect = Rect(rect.Left + inset, rect.Top + inset, rect.Right - inset, rect.Bottom - inset);
}

void TCustomPanel::Paint() {
  TCanvas& c = Canvas();
  TRect rect = ClientRect();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(Color());
  c.FillRect(rect);
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    TColor top = clBtnHighlight, bottom = clBtnShadow;
    if (cut == bvLowered) std::swap(top, bottom);
    if (cut == bvSpace) top = bottom = Color();
    Frame3D(c, rect, top, bottom, bevel_width_);
  };
  bevel(bevel_outer_);
  rect = Rect(rect.Left + BorderWidth(), rect.Top + BorderWidth(), rect.Right - BorderWidth(),
              rect.Bottom - BorderWidth());
  bevel(bevel_inner_);
  const std::string caption = Caption();
  if (!caption.empty()) {
    c.Font().Assign(Font());
    c.Brush().SetStyle(TBrushStyle::bsClear);
    unsigned flags = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS;
    if (alignment_ == taCenter) flags |= DT_CENTER;
    if (alignment_ == taRightJustify) flags |= DT_RIGHT;
    c.DrawText(caption, rect, flags);
  }
}

void TCustomPanel::Dispatch(TMessage& m) {
  TCustomControl::Dispatch(m);
  if (m.Msg == CM_TEXTCHANGED) Invalidate();
}

// ---- TImage --------------------------------------------------------------------------

void TPicture::Assign(const QImage& image) {
  bitmap_.Assign(image);
  translucent_ = image.hasAlphaChannel()
                     ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                     : QImage();
  OnChange(nullptr);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
  picture_.OnChange = TNotifyEvent(this, &TImage::PictureChanged);
  SetBounds(0, 0, 105, 105);
}

void TImage::PictureChanged(TObject*) {
  if (CanAutoSizeNow()) AdjustSize();
  Invalidate();
}

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Invalidate();
}

void TImage::SetProportional(bool value) {
  if (value == proportional_) return;
  proportional_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Invalidate();
}

void TImage::AdjustSize() {
  if (!picture_.Empty()) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
}

TRect TImage::DestRect() const {
  int w = picture_.Width(), h = picture_.Height();
  const int cw = Width(), ch = Height();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      const double xy = static_cast<double>(w) / h;
      if (cw / xy <= ch) {
        w = cw;
        h = static_cast<int>(cw / xy);
      } else {
        h = ch;
        w = static_cast<int>(ch * xy);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r = Rect(0, 0, w, h);
  if (center_) r = r.Offset((cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TCanvas& c = Canvas();
  if (picture_.Empty()) return;
  const TRect dest = DestRect();
  if (QPainter* p = c.Painter()) {
    // A transparent image lets what lies behind show through its alpha;
    // any other is copied as it is.
    const TPainterSave saved(p);
    p->setCompositionMode(QPainter::CompositionMode_SourceOver);
    const bool blend = transparent_ && picture_.HasAlpha();
    p->drawImage(QRect(dest.Left, dest.Top, dest.Width(), dest.Height()),
                 blend ? picture_.Translucent() : picture_.Bitmap().Image());
  } else {
    c.StretchDraw(dest, picture_.Bitmap());
  }
}

// ---- TTimer --------------------------------------------------------------------------

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  Destroying();
  if (!timer_) return;
  timer_->stop();
  // Freed from its own OnTimer: the Qt timer is still delivering its signal.
  if (*in_timer_) {
    *in_timer_ = false;
    timer_.release()->deleteLater();
  }
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent event) {
  on_timer_ = std::move(event);
  UpdateTimer();
}

bool TTimer::Running() const {
  return timer_ && timer_->isActive();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  on_timer_(this);
}

void TTimer::UpdateTimer() {
  if (timer_) timer_->stop();
  if (IsLoading() || IsDestroying() || !enabled_ || interval_ == 0 || !on_timer_) return;
  if (!timer_) {
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    std::shared_ptr<bool> in_timer = in_timer_;
    QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this, in_timer] {
      *in_timer = true;
      try {
        Timer();
      } catch (...) {
        // The handler may have freed the timer: only a live one is the sender.
        Application->HandleException(*in_timer ? this : nullptr);
      }
      *in_timer = false;
    });
  }
  timer_->start(static_cast<int>(interval_));
}

// ---- TAutoRepeat -----------------------------------------------------------------

TAutoRepeat::TAutoRepeat(unsigned first_delay, unsigned interval)
    : first_delay_(first_delay), interval_(interval) {
  timer_.SetEnabled(false);
  timer_.SetOnTimer(TNotifyEvent(this, &TAutoRepeat::Tick));
}

void TAutoRepeat::Start(TNotifyEvent on_repeat) {
  on_repeat_ = std::move(on_repeat);
  timer_.SetEnabled(false);
  timer_.SetInterval(first_delay_);
  timer_.SetEnabled(true);
}

void TAutoRepeat::Stop() {
  timer_.SetEnabled(false);
}

void TAutoRepeat::Tick(TObject*) {
  timer_.SetInterval(interval_);
  // The action may stop the repeat (or start another): it runs last.
  const TNotifyEvent action = on_repeat_;
  action(nullptr);
}
