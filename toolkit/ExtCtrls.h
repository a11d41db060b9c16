// Panel and image: controls the program paints itself.
#pragma once

#include "toolkit/Controls.h"

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
