#include "skin/SkinPaint.h"

#include <algorithm>

#include "skin/PixelKernels.h"

namespace {

// The gradient, or the plain colour when the gradient has no steps.
void PaintGradientOrColor(TsPixelView dst, const TRect& rect, const TsLook& look) {
  if (look.gradient.empty()) {
    FillSolid(dst, rect, look.color);
  } else {
    PaintGradient(dst, rect, look.gradient);
  }
}

bool HasTexture(const TsLook& look) {
  return look.texture.has_value() && look.texture->Valid();
}

// A look whose rows are each one colour: no texture, and no gradient or a
// vertical one.
bool RowsAreSolid(const TsLook& look) {
  if (look.image_percent > 0 && HasTexture(look)) return false;
  if (look.gradient_percent <= 0 || look.gradient.empty()) return true;
  return look.gradient[0].mode != gmHorizontal && look.gradient[0].mode != gmMesh;
}

// Blends a look of solid rows over a parent bitmap that covers the whole
// visible rectangle in one pass: out = (back × t + row colour × (255 − t) +
// 127) ÷ 256. The row colours come from a one-pixel-wide column of the look.
bool BlendSolidRowsOverBitmap(TsPixelView dst, const TRect& rect, const TsLook& look,
                              const TsBackground& back, int t) {
  const TRect r = rect.Intersect(dst.Bounds());
  if (r.IsEmpty()) return true;
  const int dx = back.offset_x - rect.Left, dy = back.offset_y - rect.Top;
  if (r.Offset(dx, dy).Intersect(back.bitmap.Bounds()) != r.Offset(dx, dy)) return false;
  TsScratch column(1, rect.Height());
  PaintLook(column.View(), Bounds(0, 0, 1, rect.Height()), look);
  for (int y = r.Top; y < r.Bottom; ++y) {
    const std::uint8_t* c = column.View().At(0, y - rect.Top);
    const int u = 255 - t;
    const std::uint16_t k[3] = {static_cast<std::uint16_t>(c[0] * u + 127),
                                static_cast<std::uint16_t>(c[1] * u + 127),
                                static_cast<std::uint16_t>(c[2] * u + 127)};
    skin_kernels::BlendWithConstant(dst.At(r.Left, y), back.bitmap.At(r.Left + dx, y + dy),
                                    r.Width(), k, t);
  }
  return true;
}

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
  if (back.IsBitmap() && RowsAreSolid(look) && BlendSolidRowsOverBitmap(dst, rect, look, back, t)) {
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
