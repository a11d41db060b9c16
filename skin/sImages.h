// Decoding the skin's images: Windows bitmaps (BMP) and JPEG pictures, into
// plain 24-bit pixel rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TBitmap;

// Rows from top to bottom, three bytes per pixel (blue, green, red), no
// padding between rows.
struct TsPixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint8_t> Bgr;

  const std::uint8_t* Row(int y) const {
    return Bgr.data() + static_cast<std::size_t>(y) * Width * 3;
  }
  std::uint8_t* Row(int y) { return Bgr.data() + static_cast<std::size_t>(y) * Width * 3; }
};

// Images larger than this on either side, or in all, are refused, and so is
// a header that claims more pixels than its data can hold: a damaged header
// must not make the decoder allocate without bound.
constexpr int kMaxImageSide = 16384;
constexpr long long kMaxImagePixels = 16LL * 1024 * 1024;

// A Windows bitmap: 1, 4 and 8 bits per pixel with a palette (uncompressed,
// RLE4, RLE8), 16 bits (5-5-5 or bit fields), 24 and 32 bits; bottom-up or
// top-down. Returns false for anything it cannot read.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, TsPixels& out);
// A JPEG picture (libjpeg-turbo), greyscale or colour. False when damaged.
bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TsPixels& out);

// A 24-bit bitmap holding the pixels.
std::shared_ptr<TBitmap> PixelsToBitmap(const TsPixels& pixels);
// Writes a 24-bit bitmap file (tests and tools).
std::vector<std::uint8_t> EncodeBmp24(const TsPixels& px);
