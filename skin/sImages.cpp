#include "skin/sImages.h"

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "toolkit/Graphics.h"

namespace {
std::uint32_t Get16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct TBmpPalette {
  std::uint8_t bgr[256][3]{};
  int count = 0;
};

// One channel of a bit-field pixel scaled to 8 bits.
std::uint8_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint32_t m = mask >> shift;
  const std::uint32_t v = (pixel & mask) >> shift;
  return static_cast<std::uint8_t>(m == 0 ? 0 : (v * 255 + m / 2) / m);
}

void PutIndex(TsPixels& out, const TBmpPalette& pal, int x, int y, int index) {
  if (x < 0 || x >= out.Width || y < 0 || y >= out.Height) return;
  std::uint8_t* p = out.Row(y) + x * 3;
  if (index < pal.count) std::memcpy(p, pal.bgr[index], 3);
}

// Run-length encoded 8- or 4-bit data; rows arrive bottom-up as `row`
// counts from 0, and `flip` maps them to the output's top-down order.
bool DecodeRle(const std::uint8_t* p, std::size_t n, int bpp, const TBmpPalette& pal, bool top_down,
               TsPixels& out) {
  int x = 0, row = 0;
  std::size_t i = 0;
  auto y_of = [&](int r) { return top_down ? r : out.Height - 1 - r; };
  while (i + 1 < n && row < out.Height) {
    const int count = p[i], value = p[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k, ++x) {
        const int index = bpp == 8 ? value : (k % 2 == 0 ? value >> 4 : value & 0xF);
        PutIndex(out, pal, x, y_of(row), index);
      }
    } else if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (i + 1 >= n) return false;
      x += p[i];
      row += p[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const std::size_t bytes = bpp == 8 ? value : (value + 1) / 2;
      if (i + bytes > n) return false;
      for (int k = 0; k < value; ++k, ++x) {
        const int index =
            bpp == 8 ? p[i + k] : (k % 2 == 0 ? p[i + k / 2] >> 4 : p[i + k / 2] & 0xF);
        PutIndex(out, pal, x, y_of(row), index);
      }
      i += bytes + (bytes & 1);
    }
  }
  return true;
}
}  // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, TsPixels& out) {
  out = {};
  if (data == nullptr || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
  const std::uint32_t off_bits = Get32(data + 10);
  const std::uint32_t header_size = Get32(data + 14);
  if (header_size < 12 || 14 + static_cast<std::uint64_t>(header_size) > size) return false;
  const std::uint8_t* h = data + 14;
  std::int64_t width, height;
  int bpp;
  std::uint32_t compression = 0, colours_used = 0;
  std::size_t palette_entry = 4;
  if (header_size == 12) {  // the old core header
    width = Get16(h + 4);
    height = static_cast<std::int16_t>(Get16(h + 6));
    bpp = static_cast<int>(Get16(h + 10));
    palette_entry = 3;
  } else {
    if (header_size < 40) return false;
    width = static_cast<std::int32_t>(Get32(h + 4));
    height = static_cast<std::int32_t>(Get32(h + 8));
    bpp = static_cast<int>(Get16(h + 14));
    compression = Get32(h + 16);
    colours_used = Get32(h + 32);
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;

  std::uint32_t masks[3] = {0, 0, 0};
  std::size_t after_header = 14 + header_size;
  if (compression == 3 || compression == 6) {  // bit fields
    if (header_size >= 52) {
      masks[0] = Get32(h + 40);
      masks[1] = Get32(h + 44);
      masks[2] = Get32(h + 48);
    } else {
      if (after_header + 12 > size) return false;
      masks[0] = Get32(data + after_header);
      masks[1] = Get32(data + after_header + 4);
      masks[2] = Get32(data + after_header + 8);
      after_header += 12;
    }
  } else if (compression == 0 && bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else if (compression == 0 && bpp == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }

  TBmpPalette pal;
  if (bpp == 1 || bpp == 4 || bpp == 8) {
    const std::uint32_t max_colours = 1u << bpp;
    const std::uint32_t count =
        colours_used == 0 || colours_used > max_colours ? max_colours : colours_used;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t at = after_header + i * palette_entry;
      if (at + 3 > size) break;
      std::memcpy(pal.bgr[i], data + at, 3);
      pal.count = static_cast<int>(i + 1);
    }
  } else if (bpp != 16 && bpp != 24 && bpp != 32) {
    return false;
  }
  if (off_bits >= size) return false;
  const std::size_t bits_available = size - off_bits;
  if (width * height > kMaxImagePixels) return false;
  if (compression == 1 || compression == 2) {
    // A run of two bytes paints at most 255 pixels; leave room for skips.
    if (static_cast<std::uint64_t>(width * height) > bits_available * 1024ULL) return false;
  } else {
    const std::uint64_t needed = ((static_cast<std::uint64_t>(width) * bpp + 31) / 32) * 4 * height;
    if (needed > bits_available) return false;
  }

  out.Width = static_cast<int>(width);
  out.Height = static_cast<int>(height);
  out.Bgr.assign(static_cast<std::size_t>(width) * height * 3, 0);
  const std::uint8_t* bits = data + off_bits;
  const std::size_t bits_size = size - off_bits;

  if (compression == 1 || compression == 2) {
    if ((compression == 1 && bpp != 8) || (compression == 2 && bpp != 4)) return out = {}, false;
    if (!DecodeRle(bits, bits_size, bpp, pal, top_down, out)) return out = {}, false;
    return true;
  }
  if (compression != 0 && compression != 3 && compression != 6) return out = {}, false;
  if ((compression == 3 || compression == 6) && bpp != 16 && bpp != 32) return out = {}, false;

  const std::size_t stride = ((static_cast<std::size_t>(width) * bpp + 31) / 32) * 4;
  if (stride * static_cast<std::size_t>(height) > bits_size) return out = {}, false;
  // Palette entries as the bytes of a pixel; an index past the palette is black.
  std::uint32_t packed[256] = {};
  if (bpp == 8)
    for (int i = 0; i < pal.count; ++i) std::memcpy(&packed[i], pal.bgr[i], 3);
  for (int r = 0; r < out.Height; ++r) {
    const std::uint8_t* src = bits + stride * r;
    std::uint8_t* dst = out.Row(top_down ? r : out.Height - 1 - r);
    // The depths the skins use come a row at a time, without a choice per pixel.
    if (bpp == 24) {
      std::memcpy(dst, src, static_cast<std::size_t>(out.Width) * 3);
      continue;
    }
    if (bpp == 8) {
      // Four bytes stored per pixel, the fourth overwritten by the next
      // pixel; the row's last pixel gets its three alone.
      const int last = out.Width - 1;
      for (int x = 0; x < last; ++x, dst += 3) std::memcpy(dst, &packed[src[x]], 4);
      std::memcpy(dst, &packed[src[last]], 3);
      continue;
    }
    for (int x = 0; x < out.Width; ++x, dst += 3) {
      switch (bpp) {
        case 1:
          PutIndex(out, pal, x, top_down ? r : out.Height - 1 - r,
                   (src[x >> 3] >> (7 - (x & 7))) & 1);
          break;
        case 4:
          PutIndex(out, pal, x, top_down ? r : out.Height - 1 - r,
                   (x & 1) == 0 ? src[x >> 1] >> 4 : src[x >> 1] & 0xF);
          break;
        case 8:
          if (src[x] < pal.count) std::memcpy(dst, pal.bgr[src[x]], 3);
          break;
        case 16: {
          const std::uint32_t v = Get16(src + 2 * x);
          dst[0] = Channel(v, masks[2]);
          dst[1] = Channel(v, masks[1]);
          dst[2] = Channel(v, masks[0]);
          break;
        }
        case 24:
          std::memcpy(dst, src + 3 * x, 3);
          break;
        case 32: {
          const std::uint32_t v = Get32(src + 4 * x);
          dst[0] = Channel(v, masks[2]);
          dst[1] = Channel(v, masks[1]);
          dst[2] = Channel(v, masks[0]);
          break;
        }
      }
    }
  }
  return true;
}

namespace {
struct TJpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
void JpegErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->jump, 1);
}
void JpegSilent(j_common_ptr, int) {}

// Kept free of objects with destructors: a decoding error jumps out of it.
bool DecodeJpegInto(const std::uint8_t* data, std::size_t size, std::uint8_t** pixels, int* w,
                    int* h) {
  jpeg_decompress_struct cinfo;
  TJpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilent;
  *pixels = nullptr;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(*pixels);
    *pixels = nullptr;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 ||
      cinfo.image_width > static_cast<unsigned>(kMaxImageSide) ||
      cinfo.image_height > static_cast<unsigned>(kMaxImageSide) ||
      static_cast<long long>(cinfo.image_width) * cinfo.image_height > kMaxImagePixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_width == 0 || cinfo.output_height == 0 ||
      cinfo.output_width > static_cast<unsigned>(kMaxImageSide) ||
      cinfo.output_height > static_cast<unsigned>(kMaxImageSide) ||
      static_cast<long long>(cinfo.output_width) * cinfo.output_height > kMaxImagePixels ||
      cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  *w = static_cast<int>(cinfo.output_width);
  *h = static_cast<int>(cinfo.output_height);
  *pixels = static_cast<std::uint8_t*>(std::malloc(static_cast<std::size_t>(*w) * *h * 3));
  if (*pixels == nullptr) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = *pixels + static_cast<std::size_t>(cinfo.output_scanline) * *w * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}
}  // namespace

bool DecodeJpeg(const std::uint8_t* data, std::size_t size, TsPixels& out) {
  out = {};
  if (data == nullptr || size < 4) return false;
  std::uint8_t* pixels = nullptr;
  int w = 0, h = 0;
  if (!DecodeJpegInto(data, size, &pixels, &w, &h)) return false;
  out.Width = w;
  out.Height = h;
  out.Bgr.assign(pixels, pixels + static_cast<std::size_t>(w) * h * 3);
  std::free(pixels);
  return true;
}

std::vector<std::uint8_t> EncodeBmp24(const TsPixels& px) {
  const std::size_t stride = (static_cast<std::size_t>(px.Width) * 3 + 3) & ~std::size_t{3};
  const std::size_t image = stride * px.Height;
  std::vector<std::uint8_t> out(54 + image, 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = v & 0xFF;
    out[at + 1] = (v >> 8) & 0xFF;
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(px.Width));
  put32(22, static_cast<std::uint32_t>(px.Height));
  put16(26, 1);
  put16(28, 24);
  put32(34, static_cast<std::uint32_t>(image));
  for (int y = 0; y < px.Height; ++y) {
    std::memcpy(out.data() + 54 + stride * (px.Height - 1 - y), px.Row(y),
                static_cast<std::size_t>(px.Width) * 3);
  }
  return out;
}

std::shared_ptr<TBitmap> PixelsToBitmap(const TsPixels& pixels) {
  auto bitmap = std::make_shared<TBitmap>(pixels.Width, pixels.Height, TPixelFormat::pf24bit);
  for (int y = 0; y < pixels.Height; ++y) {
    std::memcpy(bitmap->ScanLine(y), pixels.Row(y), static_cast<std::size_t>(pixels.Width) * 3);
  }
  return bitmap;
}
