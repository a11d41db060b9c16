#include "scope/GrGraphicControl.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>

#include "toolkit/Forms.h"
#include "toolkit/Guards.h"

// ---- TGrGraphicControl ----

TGrGraphicControl::TGrGraphicControl(TComponent* owner)
    : TGraphicControl(owner), version_(kGrVersion) {
  RegisterGrCursors();
}

void TGrGraphicControl::Dispatch(TMessage& message) {
  TGraphicControl::Dispatch(message);
  switch (message.Msg) {
    case CM_MOUSEENTER:
      DoMouseEnter();
      break;
    case CM_MOUSELEAVE:
      DoMouseLeave();
      break;
    case CM_FONTCHANGED:
      DoFontChanged();
      break;
    case CM_TEXTCHANGED:
      DoTextChanged();
      break;
    default:
      break;
  }
}

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

void TGrGraphicControl::DoMouseEnter() {
  OnMouseEnter(this);
}
void TGrGraphicControl::DoMouseLeave() {
  OnMouseLeave(this);
}
void TGrGraphicControl::DoFontChanged() {
  OnFontChanged(this);
}
void TGrGraphicControl::DoTextChanged() {
  OnTextChanged(this);
}

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

void TGrGraphicImageControl::Dispatch(TMessage& message) {
  if (message.Msg != WM_PAINT) {
    TGrGraphicControl::Dispatch(message);
    return;
  }
  if (message.WParam == 0) return;
  HDC dc = MessageDC(message);
  const TCanvasPaint painting(Canvas(), dc, ClientRect());
  image_bitmap_->SetSize(std::max(0, Width()), std::max(0, Height()));
  const TCanvasLock image_lock(ImageCanvas());
  Paint();
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
  // What the parent painted beneath us is on the device the control's
  // canvas draws on; for raster painting that device is an image.
  QPainter* dc = Canvas().Painter();
  if (!dc || background_bitmap_->Empty()) return;
  QPaintDevice* device = dc->paintEngine() ? dc->paintEngine()->paintDevice() : dc->device();
  if (!device || device->devType() != QInternal::Image) return;
  const QImage& surface = *static_cast<QImage*>(device);
  const TRect r = Canvas().ClipRect();
  const QRect local(r.Left, r.Top, r.Width(), r.Height());
  const QRect on_device = dc->deviceTransform().mapRect(local);
  QPainter p(&background_bitmap_->Image());
  p.drawImage(local, surface.copy(on_device));
}

void TGrGraphicImageControl::RestoreBackground() {
  ImageCanvas().CopyRect(Rect(0, 0, image_bitmap_->Width(), image_bitmap_->Height()),
                         background_bitmap_->Canvas(),
                         Rect(0, 0, image_bitmap_->Width(), image_bitmap_->Height()));
}

void RegisterGrCursors() {
  static bool registered = false;
  if (registered || !QGuiApplication::instance()) return;
  registered = true;
  const QImage hand = GrHandPointImage();
  Screen->SetCursors(crGrHandPoint,
                     QCursor(QPixmap::fromImage(hand), kGrHandPointHotX, kGrHandPointHotY));
}
