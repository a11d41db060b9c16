// The cache of a control's look: the item painter, rebuilding the cache
// when it is stale or the state changed, and copying it to the screen.
#include "skin/sCommonData.h"

#include <QPainter>
#include <QRegion>
#include <QTransform>

#include <algorithm>
#include <cstdint>

#include "skin/sFadeAnimation.h"
#include "toolkit/Controls.h"
#include "toolkit/Guards.h"

TsSectionRequest TsCommonData::Request(int state) const {
  TsSectionRequest r;
  r.section = skin_index_;
  r.state = state;
  r.texture = texture_;
  r.hot_texture = hot_texture_;
  r.custom_color = custom_color_;
  r.own_color = owner_control_ != nullptr ? ColorToRGB(owner_control_->Color()) : clWhite;
  return r;
}

void TsCommonData::PaintItem(TBitmap& cache, const TRect& rect, bool filling, int state,
                             TPoint position) {
  const TsSkinModel* model = Model();
  if (model == nullptr || Section() == nullptr || rect.IsEmpty()) return;
  if (rect.Intersect(Rect(0, 0, cache.Width(), cache.Height())) != rect) return;
  BackgroundInfo info;
  AskParentBackground(owner_control_, info);
  TsBackground back = BackgroundOf(info);
  // The background is wanted where the control lies, for the whole item.
  if (back.IsBitmap()) {
    back.offset_x += position.X;
    back.offset_y += position.Y;
  }
  PaintSkinItem(cache, rect, *model, Request(state), filling, back);
}

void TsCommonData::EnsureCache() {
  if (host_ == nullptr || !Skinned()) return;
  const int state = host_->CurrentSkinState();
  if (fade_ != nullptr) {
    // Fading toward a state that is no longer the control's: turn round.
    if (state != cache_state_ && CanFade(state)) StartFade(false);
    return;
  }
  if (!bg_changed_ && state == cache_state_) return;
  // The state changed before anyone said so (a paint came first).
  if (CanFade(state)) {
    StartFade(false);
    return;
  }
  host_->PrepareCache();
}

const TBitmap& TsCommonData::DisplayBitmap() const {
  return fade_ != nullptr ? fade_->Frame() : cache_;
}

namespace {

// Qt's general conversion fetches and stores through an intermediate format;
// this one moves the three bytes of each pixel straight into the 32-bit one.
void ConvertBgrToRgb32(const QImage& from, const QRect& part, QImage& to) {
  for (int y = 0; y < part.height(); ++y) {
    const std::uint8_t* src = from.constScanLine(part.top() + y) + part.left() * 3;
    auto* dst = reinterpret_cast<std::uint32_t*>(to.scanLine(y));
    for (int x = 0; x < part.width(); ++x, src += 3)
      dst[x] = 0xFF000000U | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
  }
}

}  // namespace

void DrawClippedImage(HDC dc, QPoint at, const QImage& image) {
  // Qt blends an image of more than about a hundred lines on worker threads,
  // whose hand-offs cost more than the copy itself: bands of this many
  // lines are drawn on this thread.
  constexpr int kBand = 64;
  if (image.depth() % 8 != 0 || dc->deviceTransform().type() > QTransform::TxTranslate) {
    dc->drawImage(at, image);
    return;
  }
  const int bytes = image.depth() / 8;
  const bool convert = image.format() == QImage::Format_BGR888;
  const QRegion shown = dc->hasClipping() ? dc->clipRegion() : QRegion(image.rect().translated(at));
  QImage band;  // one band converted at a time, its buffer reused
  for (const QRect& clip : shown) {
    const QRect part = clip.translated(-at) & image.rect();
    for (int top = part.top(); top <= part.bottom(); top += kBand) {
      const int height = std::min(kBand, part.bottom() + 1 - top);
      const QPoint to = at + QPoint(part.left(), top);
      if (convert) {
        if (band.width() < part.width() || band.height() < height)
          band = QImage(std::max(band.width(), part.width()), kBand, QImage::Format_RGB32);
        ConvertBgrToRgb32(image, QRect(part.left(), top, part.width(), height), band);
        dc->drawImage(to, band, QRect(0, 0, part.width(), height));
      } else {
        const QImage piece(image.constScanLine(top) + part.left() * bytes, part.width(), height,
                           image.bytesPerLine(), image.format());
        dc->drawImage(to, piece);
      }
    }
  }
}

void TsCommonData::CopyCacheToScreen(HDC dc) {
  auto* win = dynamic_cast<TWinControl*>(owner_control_);
  if (dc == nullptr || win == nullptr) return;
  const TRect nc = win->FrameMargins();
  QRegion clip(ToQRect(win->ClientRect()));
  for (int i = 0; i < win->ControlCount(); ++i) {
    TControl* child = win->Controls(i);
    if (!child->Visible()) continue;
    if (child->IsWindowed() || (child->ControlStyle() & csOpaque) != 0)
      clip -= ToQRect(child->BoundsRect());
  }
  // A region to paint that lies under opaque children alone (a scope's
  // tick repaints its own rectangle) takes nothing from the cache.
  const bool reached = !clip.isEmpty() && (!dc->hasClipping() ||
                                           clip.intersects(dc->clipBoundingRect().toAlignedRect()));
  if (reached) {
    TPainterSave saved(dc);
    dc->setClipRegion(clip, Qt::IntersectClip);
    DrawClippedImage(dc, QPoint(-nc.Left, -nc.Top), DisplayBitmap().Image());
  }
  win->PaintControls(dc);
}

void TsCommonData::CopyFrameToScreen(HDC dc) {
  auto* win = dynamic_cast<TWinControl*>(owner_control_);
  if (dc == nullptr || win == nullptr) return;
  const TRect nc = win->FrameMargins();
  QRegion frame(0, 0, win->Width(), win->Height());
  frame -= QRegion(nc.Left, nc.Top, std::max(0, win->Width() - nc.Left - nc.Right),
                   std::max(0, win->Height() - nc.Top - nc.Bottom));
  if (frame.isEmpty()) return;
  TPainterSave saved(dc);
  dc->setClipRegion(frame, Qt::IntersectClip);
  DrawClippedImage(dc, QPoint(0, 0), DisplayBitmap().Image());
}

void TsCommonData::PaintFrameFromCache(HDC dc) {
  if (Updating() || plain_color_) return;
  EnsureCache();
  CopyFrameToScreen(dc);
}
