// Drawing pieces cut from the skin's images: nine-piece border masks, glyphs
// and textures. A piece is described by a TsImagePiece (made from a mask
// record by SkinPaint.h), so these loops know nothing of the skin manager.
#pragma once

#include "skin/Blend.h"
#include "skin/DrawMode.h"

struct TsImagePiece {
  TsPixelView image;  // the mask's own bitmap or the skin's master bitmap
  TRect source;       // the piece inside the image, all frames (and masks)
  int image_count = 1;
  int mask_type = 0;  // above 0: each frame's mask lies one frame height below it
  int draw_mode = 0;
  int left = 0;  // border widths (already resolved: never 0 unless meant)
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool Valid() const { return image.Valid() && FrameWidth() > 0 && FrameHeight() > 0; }
  int FrameWidth() const { return image_count > 0 ? source.Width() / image_count : 0; }
  int FrameHeight() const { return source.Height() / ((mask_type > 0 ? mask_type : 0) + 1); }
  // The frame for `state`: states past the last frame take the last one.
  TRect Frame(int state) const;
};

// Border widths fitted to a rectangle: when they do not fit, both sides lose
// half the excess (rounded toward zero) and an odd size takes one more pixel
// from the right (bottom) side; none goes below 0.
void FitBorders(int size, int& first, int& second);

// The nine-piece border of `mask` over `rect` for `state`. `filling` asks for
// the centre piece (when the mask's draw mode has kDrawCentre). `back` is what
// lies behind `rect` (its offsets refer to rect's top-left pixel): corner
// pixels of the transparent key show it. Nothing is drawn on rectangles
// narrower or lower than 2 pixels, nor in state 0 with kDrawNotNormal.
void DrawBorderMask(TsPixelView dst, const TRect& rect, const TsImagePiece& mask, int state,
                    bool filling, const TsBackground& back);

// The glyph frame for `state` with its top-left at `at`: blended through its
// mask when it has one, key pixels transparent. `strength` 256 draws the glyph
// as it is; less lays it over what was there at that weight (128: half).
void DrawGlyph(TsPixelView dst, TPoint at, const TsImagePiece& glyph, int state,
               int strength = 256);

// The texture (frame 0) over `rect` by its fill mode; `with_mask` blends it
// through its mask (for textures with a mask type above 0). Edge modes fill
// only along their edge.
void DrawTexture(TsPixelView dst, const TRect& rect, const TsImagePiece& texture, bool with_mask);
// True when the fill mode covers the whole rectangle.
bool TextureCoversArea(int draw_mode);
