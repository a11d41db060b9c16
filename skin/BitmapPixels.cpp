#include "skin/Blend.h"
#include "toolkit/Graphics.h"

TsPixelView PixelsOf(TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.PixelFormat() != TPixelFormat::pf24bit) return {};
  return {bitmap.ScanLine(0), static_cast<std::ptrdiff_t>(bitmap.BytesPerLine()), bitmap.Width(),
          bitmap.Height()};
}

TsPixelView SourcePixelsOf(const TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.PixelFormat() != TPixelFormat::pf24bit) return {};
  // Read-only by contract; the const rows avoid detaching a shared image.
  return {const_cast<std::uint8_t*>(bitmap.ScanLine(0)),
          static_cast<std::ptrdiff_t>(bitmap.BytesPerLine()), bitmap.Width(), bitmap.Height()};
}
