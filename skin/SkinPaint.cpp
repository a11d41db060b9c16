#include "skin/SkinPaint.h"

#include <algorithm>

namespace {

// The gradient, or the plain colour when the gradient has no steps.
void PaintGradientOrColor(TsPixelView dst, const TRect& rect, const TsLook& look) {
  if (look.gradient.empty()) {
    FillSolid(dst, rect, look.color);
  } else {
    PaintGradient(dst, rect, look.gradient);
  }
}

bool HasTexture(const TsLook& look) { return look.texture.has_value() && look.texture->Valid(); }

}  // namespace

void PaintLook(TsPixelView dst, const TRect& rect, const TsLook& look) {
  if (!dst.Valid() || rect.IsEmpty()) return;
  const bool textured = look.image_percent > 0 && HasTexture(look);
  const int image_percent = textured ? look.image_percent : 0;
  const int gradient_percent = std::max(look.gradient_percent, 0);
  if (textured) {
    const TsImagePiece& texture = *look.texture;
    const bool masked = texture.mask_type > 0;
    // Whatever the texture leaves uncovered (edge modes, masked pixels)
    // shows the section's colour rather than stale pixels.
    if (masked || !TextureCoversArea(texture.draw_mode)) FillSolid(dst, rect, look.color);
    DrawTexture(dst, rect, texture, masked);
  }
  if (gradient_percent > 0) {
    if (textured) {
      const TRect r = rect.Intersect(dst.Bounds());
      if (!r.IsEmpty()) {
        // Laid out over the whole rectangle, kept for the visible part.
        TsScratch scratch(r.Width(), r.Height());
        PaintGradientOrColor(scratch.View(), rect.Offset(-r.Left, -r.Top), look);
        BlendPixels(dst, {r.Left, r.Top}, scratch.View(), Bounds(0, 0, r.Width(), r.Height()),
                    PercentToWeight(std::min(image_percent, 100)));
      }
    } else {
      PaintGradientOrColor(dst, rect, look);
    }
  }
  const int sum = gradient_percent + image_percent;
  if (sum == 0) {
    FillSolid(dst, rect, look.color);
  } else if (sum < 100) {
    BlendColorIn(dst, rect, look.color, sum);
  }
  if (look.state == 0 && textured && look.texture->mask_type > 0 &&
      look.texture->draw_mode == tfOverlay) {
    DrawTexture(dst, rect, *look.texture, true);
  }
}

void PaintSectionBackground(TsPixelView dst, const TRect& rect, const TsLook& look,
                            const TsBackground& back) {
  if (!dst.Valid() || rect.IsEmpty()) return;
  const TPoint origin{rect.Left, rect.Top};
  if (!back.Known() || look.transparency <= 0) {
    PaintLook(dst, rect, look);
    return;
  }
  if (look.transparency >= 100) {
    PutBackground(dst, rect, origin, back);
    return;
  }
  const int t = PercentToWeight(look.transparency);
  if (back.IsBitmap() && back.bitmap.SameBuffer(dst)) {
    // The rectangle holds the background already: the look needs a
    // scratch image to be blended over it.
    const TRect r = rect.Intersect(dst.Bounds());
    if (r.IsEmpty()) return;
    TsScratch own(r.Width(), r.Height());
    PaintLook(own.View(), rect.Offset(-r.Left, -r.Top), look);
    BlendPixels(dst, {r.Left, r.Top}, own.View(), Bounds(0, 0, r.Width(), r.Height()), t);
    return;
  }
  // Painting the look in place and laying the background over it gives the
  // same pixels as blending a copy of the look over the background.
  PaintLook(dst, rect, look);
  BlendBackground(dst, rect, origin, back, t);
}

void PaintDisabledLook(TsPixelView dst, const TRect& rect, TsDisabledKinds kinds,
                       const TsBackground& back) {
  if (!dst.Valid()) return;
  if ((kinds & dkGrayed) != 0) GrayPixels(dst, rect);
  if ((kinds & dkBlended) != 0) {
    BlendBackground(dst, rect, {rect.Left, rect.Top}, back,
                    PercentToWeight(back.IsBitmap() ? 40 : 50));
  }
}
