// Small helpers for pixel-exact tests of the skin painter.
#pragma once

#include <cstdint>
#include <functional>

#include "skin/Blend.h"
#include "toolkit/Graphics.h"

namespace painttest {

inline TColor Px(TBitmap& b, int x, int y) {
  return LoadPixel(PixelsOf(b).At(x, y));
}
inline void SetPx(TBitmap& b, int x, int y, TColor c) {
  StorePixel(PixelsOf(b).At(x, y), c);
}

inline void FillAll(TBitmap& b, TColor c) {
  FillSolid(PixelsOf(b), Bounds(0, 0, b.Width(), b.Height()), c);
}

// Every pixel from a function of its position.
inline void Paint(TBitmap& b, const std::function<TColor(int, int)>& f) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) SetPx(b, x, y, f(x, y));
}

// A colour that names a source position, so tests can tell which source
// pixel landed where (never the transparent key).
constexpr TColor Code(int x, int y) {
  return RGB(0x10, y & 0xFF, x & 0xFF);
}
constexpr int CodeX(TColor c) {
  return GetBValue(c);
}
constexpr int CodeY(TColor c) {
  return GetGValue(c);
}

constexpr TColor Channels(int b, int g, int r) {
  return RGB(r, g, b);
}

}  // namespace painttest
