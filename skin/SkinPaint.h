// Composing a section's look: colour, gradient and texture, laid over what
// lies behind it with the section's transparency; and the looks of disabled
// controls.
#pragma once

#include <optional>
#include <vector>

#include "skin/Blend.h"
#include "skin/Gradient.h"
#include "skin/ImagePieces.h"

// The values of a section for one state, as the background painter reads them.
struct TsLook {
  TColor color = clWhite;
  int transparency = 0;  // percent of the background showing through
  int gradient_percent = 0;
  std::vector<TsGradientBand> gradient;
  int image_percent = 0;
  std::optional<TsImagePiece> texture;  // the "PATTERN" (state 0) or "HOTPATTERN" texture
  int state = 0;
};

// The section's own look over `rect`, with nothing behind it: texture,
// gradient and colour by their percentages. A texture that is missing counts
// as 0 percent, so the look falls back to its colour.
void PaintLook(TsPixelView dst, const TRect& rect, const TsLook& look);

// The section's look over `rect` with the background behind it: fully
// transparent sections show only the background, partly transparent ones
// blend (background × t + own × (255 − t) + 127) ÷ 256 with t = transparency ×
// 255 ÷ 100; an unknown background is ignored. `back`'s offsets refer to
// rect's top-left pixel; a background that is `dst` itself means the
// rectangle already holds it.
void PaintSectionBackground(TsPixelView dst, const TRect& rect, const TsLook& look,
                            const TsBackground& back);

// How a disabled control looks (a set: either, both or neither).
enum TsDisabledKind : int { dkBlended = 1, dkGrayed = 2 };
using TsDisabledKinds = int;
constexpr TsDisabledKinds kDefaultDisabledKind = dkBlended;

// Greys the rectangle (dkGrayed), then lays the background over it
// (dkBlended): 0.4 of the parent's bitmap, or half of its colour.
void PaintDisabledLook(TsPixelView dst, const TRect& rect, TsDisabledKinds kinds,
                       const TsBackground& back);
