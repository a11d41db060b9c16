// Pixel rows and the blend formulas of the skin painter. Every painting step
// works on 24-bit rows (blue, green, red) through a TsPixelView, so the same
// loops serve bitmaps, the master image and short-lived scratch buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/Types.h"

class TBitmap;

// A window onto 24-bit pixel rows. It owns nothing.
struct TsPixelView {
  std::uint8_t* bits = nullptr;  // first pixel of row 0
  std::ptrdiff_t stride = 0;     // bytes from one row to the next
  int width = 0;
  int height = 0;

  bool Valid() const { return bits != nullptr && width > 0 && height > 0; }
  TRect Bounds() const { return {0, 0, width, height}; }
  std::uint8_t* Row(int y) const { return bits + y * stride; }
  std::uint8_t* At(int x, int y) const { return Row(y) + 3 * x; }
  bool SameBuffer(const TsPixelView& other) const { return bits == other.bits; }
};

// The rows of a 24-bit bitmap; an empty view for an empty or 32-bit bitmap,
// which the painting steps then leave alone.
TsPixelView PixelsOf(TBitmap& bitmap);
// Read-only access for sources: the view must not be written through.
TsPixelView SourcePixelsOf(const TBitmap& bitmap);

// A 24-bit scratch image for the two steps that need one (a partly
// transparent look, a gradient laid over a texture).
class TsScratch {
 public:
  TsScratch(int width, int height);
  TsPixelView View() {
    return {data_.data(), static_cast<std::ptrdiff_t>(width_) * 3, width_, height_};
  }

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> data_;
};

// The skin's transparent key and "nothing known" colour.
constexpr TColor kTransparentKey = 0xFF00FF;

inline bool IsKeyPixel(const std::uint8_t* p) {
  return p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF;
}

inline void StorePixel(std::uint8_t* p, TColor color) {
  p[0] = static_cast<std::uint8_t>(GetBValue(color));
  p[1] = static_cast<std::uint8_t>(GetGValue(color));
  p[2] = static_cast<std::uint8_t>(GetRValue(color));
}
inline TColor LoadPixel(const std::uint8_t* p) {
  return RGB(p[2], p[1], p[0]);
}

// Transparency blend: `t` (0..255) is the weight of the destination.
constexpr int TransparencyBlend(int destination, int source, int t) {
  return (destination * t + source * (255 - t) + 127) / 256;
}
// Percentage `p` (0..100) of `channel`, the rest from `color`, rounded.
constexpr int PercentBlend(int channel, int color, int p) {
  return (channel * p + color * (100 - p) + 50) / 100;
}
// Mask blend: black (0) keeps the source, white keeps the destination.
// The division truncates toward zero, as the skin's formula does.
constexpr int MaskBlend(int source, int destination, int mask) {
  return source + (destination - source) * mask / 256;
}
// Mix `num`/`den` of `first` with the rest of `second`, rounded.
constexpr int ColorMixChannel(int first, int second, int num, int den) {
  return (first * num + second * (den - num) + den / 2) / den;
}
constexpr TColor ColorMix(TColor first, TColor second, int num, int den) {
  return RGB(ColorMixChannel(GetRValue(first), GetRValue(second), num, den),
             ColorMixChannel(GetGValue(first), GetGValue(second), num, den),
             ColorMixChannel(GetBValue(first), GetBValue(second), num, den));
}
// A section percentage (0..100) as a 0..255 weight: 17 gives 43.
constexpr int PercentToWeight(int percent) {
  return percent * 255 / 100;
}

// What lies behind a painted rectangle: the parent's look as a bitmap, with
// the place of the rectangle's top-left pixel inside it, or a plain colour.
// The colour 0xFF00FF (and no bitmap) means nothing is known.
struct TsBackground {
  TsPixelView bitmap;
  int offset_x = 0;
  int offset_y = 0;
  TColor color = kTransparentKey;

  static TsBackground FromColor(TColor c) { return {TsPixelView{}, 0, 0, c}; }
  static TsBackground FromBitmap(TsPixelView b, int dx, int dy) {
    return {b, dx, dy, kTransparentKey};
  }

  bool IsBitmap() const { return bitmap.Valid(); }
  bool Known() const { return IsBitmap() || (color & 0xFFFFFF) != kTransparentKey; }
};

// Row helpers. Each clips `rect` to the view first.
void FillSolid(TsPixelView dst, const TRect& rect, TColor color);
// Copies `src_rect`'s pixels to `dst` at `to`; both are clipped together.
void CopyPixels(TsPixelView dst, TPoint to, TsPixelView src, const TRect& src_rect);
// Puts the background into `rect` (laid out from `origin`, the pixel that the
// background's offsets refer to). A bitmap background that is `dst` itself
// leaves the rectangle alone; pixels the parent's bitmap does not cover stay.
void PutBackground(TsPixelView dst, const TRect& rect, TPoint origin, const TsBackground& back);
// rect = (background × t + rect × (255 − t) + 127) ÷ 256, for the pixels the
// background covers; nothing when the background is not known.
void BlendBackground(TsPixelView dst, const TRect& rect, TPoint origin, const TsBackground& back,
                     int t);
// dst(at) = (dst × t + src × (255 − t) + 127) ÷ 256 over src_rect's size.
void BlendPixels(TsPixelView dst, TPoint to, TsPixelView src, const TRect& src_rect, int t);
// Each channel = round(channel × p ÷ 100 + color × (1 − p ÷ 100)).
void BlendColorIn(TsPixelView dst, const TRect& rect, TColor color, int p);
// Luminance grey (ITU-R BT.601 weights, white and black kept exact).
void GrayPixels(TsPixelView dst, const TRect& rect);
