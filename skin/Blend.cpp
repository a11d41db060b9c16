#include "skin/Blend.h"

#include <array>
#include <cstring>

#include "skin/PixelKernels.h"

TsScratch::TsScratch(int width, int height)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      data_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3) {}

namespace {

void FillRow(std::uint8_t* p, int count, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  skin_kernels::FillPixels(p, count, b, g, r);
}

// The part of `rect` (laid out from `origin`) whose background pixels lie
// inside `back`, and where that part starts in the background bitmap.
struct TBackSpan {
  TRect rect;  // in destination coordinates, already clipped to the destination
  int dx = 0;  // background x = destination x + dx
  int dy = 0;
};

TBackSpan CoveredByBackground(TsPixelView dst, const TRect& rect, TPoint origin,
                              const TsBackground& back) {
  TBackSpan span;
  span.dx = back.offset_x - origin.X;
  span.dy = back.offset_y - origin.Y;
  TRect in_back = back.bitmap.Bounds().Offset(-span.dx, -span.dy);
  span.rect = rect.Intersect(dst.Bounds()).Intersect(in_back);
  return span;
}

}  // namespace

void FillSolid(TsPixelView dst, const TRect& rect, TColor color) {
  if (!dst.Valid()) return;
  const TRect r = rect.Intersect(dst.Bounds());
  if (r.IsEmpty()) return;
  color = ColorToRGB(color);
  const int w = r.Width();
  std::uint8_t* first = dst.At(r.Left, r.Top);
  FillRow(first, w, static_cast<std::uint8_t>(GetBValue(color)),
          static_cast<std::uint8_t>(GetGValue(color)), static_cast<std::uint8_t>(GetRValue(color)));
  for (int y = r.Top + 1; y < r.Bottom; ++y) std::memcpy(dst.At(r.Left, y), first, 3 * w);
}

void CopyPixels(TsPixelView dst, TPoint to, TsPixelView src, const TRect& src_rect) {
  if (!dst.Valid() || !src.Valid()) return;
  TRect s = src_rect.Intersect(src.Bounds());
  if (s.IsEmpty()) return;
  // Map the clipped source back to the destination and clip again.
  const int dx = to.X - src_rect.Left;
  const int dy = to.Y - src_rect.Top;
  TRect d = s.Offset(dx, dy).Intersect(dst.Bounds());
  if (d.IsEmpty()) return;
  const int w = d.Width();
  for (int y = d.Top; y < d.Bottom; ++y) {
    std::memmove(dst.At(d.Left, y), src.At(d.Left - dx, y - dy), 3 * static_cast<std::size_t>(w));
  }
}

void PutBackground(TsPixelView dst, const TRect& rect, TPoint origin, const TsBackground& back) {
  if (!dst.Valid()) return;
  if (back.IsBitmap()) {
    if (back.bitmap.SameBuffer(dst)) return;  // the rectangle already shows it
    const TBackSpan span = CoveredByBackground(dst, rect, origin, back);
    if (span.rect.IsEmpty()) return;
    CopyPixels(dst, {span.rect.Left, span.rect.Top}, back.bitmap,
               span.rect.Offset(span.dx, span.dy));
  } else if (back.Known()) {
    FillSolid(dst, rect, back.color);
  }
}

void BlendBackground(TsPixelView dst, const TRect& rect, TPoint origin, const TsBackground& back,
                     int t) {
  if (!dst.Valid() || !back.Known()) return;
  if (back.IsBitmap()) {
    if (back.bitmap.SameBuffer(dst)) return;  // blending a look with itself changes nothing
    const TBackSpan span = CoveredByBackground(dst, rect, origin, back);
    if (span.rect.IsEmpty()) return;
    const int n = 3 * span.rect.Width();
    for (int y = span.rect.Top; y < span.rect.Bottom; ++y) {
      std::uint8_t* d = dst.At(span.rect.Left, y);
      const std::uint8_t* b = back.bitmap.At(span.rect.Left + span.dx, y + span.dy);
      skin_kernels::Blend(d, b, d, n, t);
    }
    return;
  }
  const TRect r = rect.Intersect(dst.Bounds());
  if (r.IsEmpty()) return;
  const TColor c = ColorToRGB(back.color);
  const std::uint16_t k[3] = {static_cast<std::uint16_t>(GetBValue(c) * t + 127),
                              static_cast<std::uint16_t>(GetGValue(c) * t + 127),
                              static_cast<std::uint16_t>(GetRValue(c) * t + 127)};
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* d = dst.At(r.Left, y);
    skin_kernels::BlendWithConstant(d, d, r.Width(), k, 255 - t);
  }
}

void BlendPixels(TsPixelView dst, TPoint to, TsPixelView src, const TRect& src_rect, int t) {
  if (!dst.Valid() || !src.Valid()) return;
  TRect s = src_rect.Intersect(src.Bounds());
  if (s.IsEmpty()) return;
  const int dx = to.X - src_rect.Left;
  const int dy = to.Y - src_rect.Top;
  TRect d = s.Offset(dx, dy).Intersect(dst.Bounds());
  if (d.IsEmpty()) return;
  const int n = 3 * d.Width();
  for (int y = d.Top; y < d.Bottom; ++y) {
    std::uint8_t* out = dst.At(d.Left, y);
    const std::uint8_t* in = src.At(d.Left - dx, y - dy);
    skin_kernels::Blend(out, out, in, n, t);
  }
}

void BlendColorIn(TsPixelView dst, const TRect& rect, TColor color, int p) {
  if (!dst.Valid()) return;
  const TRect r = rect.Intersect(dst.Bounds());
  if (r.IsEmpty()) return;
  color = ColorToRGB(color);
  const int channels[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
  std::array<std::array<std::uint8_t, 256>, 3> table{};
  for (int c = 0; c < 3; ++c) {
    for (int v = 0; v < 256; ++v)
      table[c][v] = static_cast<std::uint8_t>(PercentBlend(v, channels[c], p));
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* d = dst.At(r.Left, y);
    for (int x = r.Left; x < r.Right; ++x, d += 3) {
      d[0] = table[0][d[0]];
      d[1] = table[1][d[1]];
      d[2] = table[2][d[2]];
    }
  }
}

void GrayPixels(TsPixelView dst, const TRect& rect) {
  if (!dst.Valid()) return;
  const TRect r = rect.Intersect(dst.Bounds());
  for (int y = r.Top; y < r.Bottom; ++y) {
    std::uint8_t* d = dst.At(r.Left, y);
    for (int x = r.Left; x < r.Right; ++x, d += 3) {
      // 29 + 150 + 77 = 256, so white stays 255 and black 0.
      const auto grey = static_cast<std::uint8_t>((d[0] * 29 + d[1] * 150 + d[2] * 77 + 128) >> 8);
      d[0] = d[1] = d[2] = grey;
    }
  }
}
