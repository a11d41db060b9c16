#include "scope/GrGraphicControl.h"

#include <QPainter>

// ---- TGrGraphicControl ----

TGrGraphicControl::TGrGraphicControl(TComponent* owner)
    : TGraphicControl(owner), version_(kGrVersion) {}

void TGrGraphicControl::UpdateControl() {
  if (IsLoading() || IsDestroying()) return;
  Repaint();
}

void TGrGraphicControl::RefreshAutoSize() {
  const TAlign a = Align();
  if (AutoSize() && (a == TAlign::alNone || a == TAlign::alTop || a == TAlign::alBottom ||
                     a == TAlign::alLeft || a == TAlign::alRight))
    RefreshBounds();
  else
    UpdateControl();
}

void TGrGraphicControl::RefreshBounds() {
  bounds_rect_ = Bounds(Left(), Top(), Width(), Height());
  if (IsLoading()) return;
  SetBounds(Left(), Top(), Width(), Height());
  // A changed rectangle is repainted by the toolkit anyway.
  if (Bounds(Left(), Top(), Width(), Height()) == bounds_rect_) UpdateControl();
}

void TGrGraphicControl::DoMouseEnter() { OnMouseEnter(this); }
void TGrGraphicControl::DoMouseLeave() { OnMouseLeave(this); }
void TGrGraphicControl::DoFontChanged() { OnFontChanged(this); }
void TGrGraphicControl::DoTextChanged() { OnTextChanged(this); }

// ---- TGrGraphicImageControl ----

TGrGraphicImageControl::TGrGraphicImageControl(TComponent* owner)
    : TGrGraphicControl(owner),
      background_bitmap_(std::make_unique<TBitmap>()),
      image_bitmap_(std::make_unique<TBitmap>()) {
  // The screen's own layout: the block transfer needs no conversion.
  image_bitmap_->SetPixelFormat(TPixelFormat::pf32bit);
  background_bitmap_->SetPixelFormat(TPixelFormat::pf32bit);
}

TGrGraphicImageControl::~TGrGraphicImageControl() = default;

void TGrGraphicImageControl::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  recapture_background_ = true;
  UpdateControl();
}

void TGrGraphicImageControl::UpdateControl() {
  if (!IsDesigning() && transparent_ && !background_bitmap_->Empty()) {
    // This repaint is our own: reuse the saved background instead of
    // having the parent repaint beneath us.
    recapture_background_ = false;
    SetControlStyle(ControlStyle() | csOpaque);
  }
  TGrGraphicControl::UpdateControl();
}

void TGrGraphicImageControl::PaintMessage(QPainter* dc, const TRect& bounds) {
  if (!dc) return;
  TCanvas& canvas = Canvas();
  canvas.Lock();
  image_bitmap_->SetSize(std::max(0, Width()), std::max(0, Height()));
  TCanvas& image = ImageCanvas();
  image.Lock();
  canvas.Attach(dc, bounds);
  try {
    Paint();
  } catch (...) {
    canvas.Detach();
    image.Unlock();
    canvas.Unlock();
    throw;
  }
  canvas.Detach();
  image.Unlock();
  canvas.Unlock();
}

void TGrGraphicImageControl::Paint() {
  TCanvas& canvas = Canvas();
  const TBitmap& image = *image_bitmap_;
  if (!image.Empty())
    canvas.CopyRect(Bounds(0, 0, Width(), Height()), image_bitmap_->Canvas(),
                    Bounds(0, 0, Width(), Height()));
  if (transparent_) {
    recapture_background_ = true;
    SetControlStyle(ControlStyle() & ~static_cast<unsigned>(csOpaque));
  }
}

void TGrGraphicImageControl::PaintBackground() {
  TCanvas& image = ImageCanvas();
  image.Brush().SetStyle(TBrushStyle::bsSolid);
  if (transparent_) {
    if (recapture_background_) CaptureBackground();
    RestoreBackground();
  } else {
    image.Brush().SetColor(Color());
    image.FillRect(Rect(0, 0, image_bitmap_->Width(), image_bitmap_->Height()));
  }
}

void TGrGraphicImageControl::CaptureBackground() {
  background_bitmap_->SetSize(std::max(0, Width()), std::max(0, Height()));
  const TRect r = Canvas().ClipRect();
  background_bitmap_->Canvas().CopyRect(r, Canvas(), r);
}

void TGrGraphicImageControl::RestoreBackground() {
  ImageCanvas().CopyRect(Rect(0, 0, image_bitmap_->Width(), image_bitmap_->Height()),
                         background_bitmap_->Canvas(),
                         Rect(0, 0, image_bitmap_->Width(), image_bitmap_->Height()));
}
