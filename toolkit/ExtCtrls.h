// Panel and image: controls the program paints itself; the timer.
#pragma once

#include <memory>

#include "toolkit/Controls.h"

class QTimer;

enum class TBevelCut : std::uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
using enum TBevelCut;

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* owner);

  TBevelCut BevelOuter() const { return bevel_outer_; }
  void SetBevelOuter(TBevelCut value);
  TBevelCut BevelInner() const { return bevel_inner_; }
  void SetBevelInner(TBevelCut value);
  int BevelWidth() const { return bevel_width_; }
  void SetBevelWidth(int value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool FullRepaint() const { return full_repaint_; }
  void SetFullRepaint(bool value) { full_repaint_ = value; }

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& rect) const override;
  TRect DefaultFrameMargins() const override;
  void PaintFrame(HDC dc) override;
  void Dispatch(TMessage& message) override;

 private:
  TBevelCut bevel_outer_ = bvRaised;
  TBevelCut bevel_inner_ = bvNone;
  int bevel_width_ = 1;
  TBorderStyle border_style_ = TBorderStyle::bsNone;
  TAlignment alignment_ = taCenter;
  bool full_repaint_ = true;
};

class TPanel : public TCustomPanel {
 public:
  explicit TPanel(TComponent* owner) : TCustomPanel(owner) {}
};

// A picture shown by an image control.
class TPicture {
 public:
  TBitmap& Bitmap() { return bitmap_; }
  const TBitmap& Bitmap() const { return bitmap_; }
  void Assign(const TBitmap& bitmap) {
    bitmap_.Assign(bitmap);
    translucent_ = QImage();
    OnChange(nullptr);
  }
  // A picture with an alpha channel keeps it for drawing (Bitmap() holds
  // its colours without it).
  void Assign(const QImage& image);
  bool HasAlpha() const { return !translucent_.isNull(); }
  // The picture with its alpha channel, premultiplied; null without one.
  const QImage& Translucent() const { return translucent_; }
  int Width() const { return bitmap_.Width(); }
  int Height() const { return bitmap_.Height(); }
  bool Empty() const { return bitmap_.Empty(); }
  TNotifyEvent OnChange;

 private:
  TBitmap bitmap_{0, 0, TPixelFormat::pf32bit};
  QImage translucent_;
};

class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* owner);
  TAccessibleRole AccessibleRole() const override { return TAccessibleRole::arGraphic; }

  TPicture& Picture() { return picture_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

 protected:
  void Paint() override;
  void AdjustSize() override;

 private:
  void PictureChanged(TObject*);
  TRect DestRect() const;

  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
};

// A timer on the GUI thread: OnTimer runs from the event loop every
// Interval milliseconds while Enabled, Interval is above 0 and OnTimer is
// assigned. While its owner's settings are read it starts nothing; it starts
// once they are all applied. An exception from OnTimer goes to the
// application's top-level handler.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned value);
  TNotifyEvent OnTimer() const { return on_timer_; }
  void SetOnTimer(TNotifyEvent event);
  // Whether the timer is counting now.
  bool Running() const;

 protected:
  void Loaded() override;
  virtual void Timer();

 private:
  void UpdateTimer();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  TNotifyEvent on_timer_;
  std::unique_ptr<QTimer> timer_;
  // True while OnTimer runs; shared with the Qt timer's handler, which may
  // outlive this object when OnTimer frees it.
  std::shared_ptr<bool> in_timer_ = std::make_shared<bool>(false);
};

// Repeats an action while something is held down (a scroll bar's arrow):
// OnRepeat runs first `first_delay` milliseconds after Start, then every
// `interval` milliseconds, until Stop. The action itself for the press is
// the caller's; this only repeats it.
class TAutoRepeat {
 public:
  TAutoRepeat(unsigned first_delay, unsigned interval);
  void Start(TNotifyEvent on_repeat);
  void Stop();
  bool Active() const { return timer_.Enabled(); }
  unsigned FirstDelay() const { return first_delay_; }
  unsigned Interval() const { return interval_; }

 private:
  void Tick(TObject* sender);

  unsigned first_delay_;
  unsigned interval_;
  TNotifyEvent on_repeat_;
  TTimer timer_{nullptr};
};
