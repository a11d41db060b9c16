#include "skin/Gradient.h"

#include <algorithm>
#include <cstring>

#include "skin/PixelKernels.h"

namespace {

// a + round((b − a) × j ÷ d), halves away from zero.
int LerpChannel(int a, int b, int j, int d) {
  if (d <= 0) return a;
  const int num = (b - a) * j;
  return a + (num >= 0 ? (num + d / 2) / d : -((-num + d / 2) / d));
}

void StoreLerp(std::uint8_t* p, TColor c1, TColor c2, int j, int d) {
  p[0] = static_cast<std::uint8_t>(LerpChannel(GetBValue(c1), GetBValue(c2), j, d));
  p[1] = static_cast<std::uint8_t>(LerpChannel(GetGValue(c1), GetGValue(c2), j, d));
  p[2] = static_cast<std::uint8_t>(LerpChannel(GetRValue(c1), GetRValue(c2), j, d));
}

void PaintVertical(TsPixelView dst, const TRect& rect, const TsGradientBand* bands, int count) {
  const TRect clip = rect.Intersect(dst.Bounds());
  if (clip.IsEmpty()) return;
  const int h = rect.Height();
  const int w = clip.Width();
  int start = rect.Top;
  const std::uint8_t* previous = nullptr;
  TColor previous_color = -1;
  for (int i = 0; i < count && start < rect.Bottom; ++i) {
    const bool last = i == count - 1;
    const int rows = last ? rect.Bottom - start : bands[i].percent * h / 100;
    const int end = std::min(start + rows, rect.Bottom);
    const TColor c1 = ColorToRGB(bands[i].color1);
    const TColor c2 = ColorToRGB(bands[i].color2);
    for (int y = std::max(start, clip.Top); y < std::min(end, clip.Bottom); ++y) {
      std::uint8_t px[3];
      StoreLerp(px, c1, c2, y - start, end - start - 1);
      const TColor color = LoadPixel(px);
      std::uint8_t* row = dst.At(clip.Left, y);
      if (previous != nullptr && color == previous_color) {
        std::memcpy(row, previous, 3 * static_cast<std::size_t>(w));
      } else {
        skin_kernels::FillPixels(row, w, px[0], px[1], px[2]);
      }
      previous = row;
      previous_color = color;
    }
    start = end;
  }
}

void PaintHorizontal(TsPixelView dst, const TRect& rect, const TsGradientBand* bands, int count) {
  const TRect clip = rect.Intersect(dst.Bounds());
  if (clip.IsEmpty()) return;
  const int w = rect.Width();
  std::uint8_t* first = dst.At(clip.Left, clip.Top);
  int start = rect.Left;
  for (int i = 0; i < count && start < rect.Right; ++i) {
    const bool last = i == count - 1;
    const int cols = last ? rect.Right - start : (bands[i].percent * w + 50) / 100;
    const int end = std::min(start + cols, rect.Right);
    const TColor c1 = ColorToRGB(bands[i].color1);
    const TColor c2 = ColorToRGB(bands[i].color2);
    for (int x = std::max(start, clip.Left); x < std::min(end, clip.Right); ++x) {
      StoreLerp(first + 3 * (x - clip.Left), c1, c2, x - start, end - start - 1);
    }
    start = end;
  }
  // The last band runs to the edge, so the first row is complete: every
  // other row is a copy of it.
  for (int y = clip.Top + 1; y < clip.Bottom; ++y) {
    std::memcpy(dst.At(clip.Left, y), first, 3 * static_cast<std::size_t>(clip.Width()));
  }
}

}  // namespace

void PaintGradient(TsPixelView dst, const TRect& rect, const TsGradientBand* bands, int count) {
  if (!dst.Valid() || count <= 0 || rect.IsEmpty()) return;
  switch (bands[0].mode) {
    case gmHorizontal:
      PaintHorizontal(dst, rect, bands, count);
      break;
    case gmMesh: {
      // Five vertices from the first five steps; a missing step repeats the
      // colour before it.
      TColor colors[5];
      for (int i = 0; i < 5; ++i) colors[i] = i < count ? bands[i].color1 : colors[i - 1];
      PaintMeshGradient(dst, rect, colors[0], colors[1], colors[2], colors[3], colors[4]);
      break;
    }
    default:
      PaintVertical(dst, rect, bands, count);
      break;
  }
}

void FillShadedTriangle(TsPixelView dst, const TRect& clip_rect, const TsMeshVertex& va,
                        const TsMeshVertex& vb, const TsMeshVertex& vc) {
  if (!dst.Valid()) return;
  // Work in doubled coordinates: corners are even, pixel centres odd, so
  // every edge test is exact integer arithmetic.
  struct V {
    std::int64_t x, y;
    int c[3];
  };
  auto make = [](const TsMeshVertex& v) {
    const TColor c = ColorToRGB(v.color);
    return V{2 * static_cast<std::int64_t>(v.x),
             2 * static_cast<std::int64_t>(v.y),
             {GetBValue(c), GetGValue(c), GetRValue(c)}};
  };
  V a = make(va), b = make(vb), c = make(vc);
  auto edge = [](const V& p, const V& q, std::int64_t x, std::int64_t y) {
    return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
  };
  std::int64_t area = edge(a, b, c.x, c.y);
  if (area == 0) return;
  if (area < 0) {
    std::swap(b, c);
    area = -area;
  }
  // Top-left rule: points exactly on a top or left edge are inside, on the
  // other edges outside.
  auto bias = [](const V& p, const V& q) -> std::int64_t {
    const std::int64_t dx = q.x - p.x, dy = q.y - p.y;
    return (dy == 0 && dx > 0) || dy < 0 ? 0 : -1;
  };
  const std::int64_t bias_ab = bias(a, b), bias_bc = bias(b, c), bias_ca = bias(c, a);

  const TRect box{static_cast<int>(std::min({a.x, b.x, c.x}) / 2),
                  static_cast<int>(std::min({a.y, b.y, c.y}) / 2),
                  static_cast<int>(std::max({a.x, b.x, c.x}) / 2),
                  static_cast<int>(std::max({a.y, b.y, c.y}) / 2)};
  const TRect r = box.Intersect(clip_rect).Intersect(dst.Bounds());
  if (r.IsEmpty()) return;

  // Edge functions change by a constant per pixel step (two units).
  const std::int64_t ab_dx = -(b.y - a.y) * 2, bc_dx = -(c.y - b.y) * 2, ca_dx = -(a.y - c.y) * 2;
  std::int64_t step16[3];
  for (int k = 0; k < 3; ++k) {
    // Weight of a is the edge b-c, of b the edge c-a, of c the edge a-b.
    const std::int64_t num = bc_dx * a.c[k] + ca_dx * b.c[k] + ab_dx * c.c[k];
    step16[k] = num * 65536 / area;
  }
  for (int y = r.Top; y < r.Bottom; ++y) {
    const std::int64_t py = 2 * static_cast<std::int64_t>(y) + 1;
    const std::int64_t px = 2 * static_cast<std::int64_t>(r.Left) + 1;
    std::int64_t e_ab = edge(a, b, px, py), e_bc = edge(b, c, px, py), e_ca = edge(c, a, px, py);
    std::int64_t value16[3];
    bool started = false;
    std::uint8_t* p = dst.At(r.Left, y);
    for (int x = r.Left; x < r.Right; ++x, p += 3) {
      if (e_ab + bias_ab >= 0 && e_bc + bias_bc >= 0 && e_ca + bias_ca >= 0) {
        if (!started) {
          for (int k = 0; k < 3; ++k) {
            value16[k] = (e_bc * a.c[k] + e_ca * b.c[k] + e_ab * c.c[k]) * 65536 / area;
          }
          started = true;
        }
        for (int k = 0; k < 3; ++k) {
          const std::int64_t v = (value16[k] + 32768) >> 16;
          p[k] = static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255));
        }
      } else if (started) {
        break;  // a triangle's row is one run
      }
      if (started) {
        for (int k = 0; k < 3; ++k) value16[k] += step16[k];
      }
      e_ab += ab_dx;
      e_bc += bc_dx;
      e_ca += ca_dx;
    }
  }
}

void PaintMeshGradient(TsPixelView dst, const TRect& rect, TColor top_left, TColor centre,
                       TColor top_right, TColor bottom_right, TColor bottom_left) {
  if (!dst.Valid() || rect.IsEmpty()) return;
  const TsMeshVertex tl{rect.Left, rect.Top, top_left};
  const TsMeshVertex ce{(rect.Left + rect.Right) / 2, (rect.Top + rect.Bottom) / 2, centre};
  const TsMeshVertex tr{rect.Right, rect.Top, top_right};
  const TsMeshVertex br{rect.Right, rect.Bottom, bottom_right};
  const TsMeshVertex bl{rect.Left, rect.Bottom, bottom_left};
  FillShadedTriangle(dst, rect, tl, ce, tr);
  FillShadedTriangle(dst, rect, ce, tr, br);
  FillShadedTriangle(dst, rect, tl, ce, bl);
  FillShadedTriangle(dst, rect, bl, ce, br);
}
