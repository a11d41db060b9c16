#include "skin/HueSaturation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "toolkit/Graphics.h"

namespace {
struct THsl {
  double h, s, l;
};

THsl RgbToHsl(int r, int g, int b) {
  const double rf = r / 255.0, gf = g / 255.0, bf = b / 255.0;
  const double mx = std::max({rf, gf, bf}), mn = std::min({rf, gf, bf});
  THsl c{0, 0, (mx + mn) / 2};
  const double d = mx - mn;
  if (d <= 0) return c;
  c.s = c.l > 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  if (mx == rf) {
    c.h = (gf - bf) / d + (gf < bf ? 6 : 0);
  } else if (mx == gf) {
    c.h = (bf - rf) / d + 2;
  } else {
    c.h = (rf - gf) / d + 4;
  }
  c.h *= 60;
  return c;
}

double HueToChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

void HslToRgb(const THsl& c, int& r, int& g, int& b) {
  double rf = c.l, gf = c.l, bf = c.l;
  if (c.s > 0) {
    const double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s;
    const double p = 2 * c.l - q;
    const double h = c.h / 360;
    rf = HueToChannel(p, q, h + 1.0 / 3);
    gf = HueToChannel(p, q, h);
    bf = HueToChannel(p, q, h - 1.0 / 3);
  }
  r = std::clamp(static_cast<int>(std::lround(rf * 255)), 0, 255);
  g = std::clamp(static_cast<int>(std::lround(gf * 255)), 0, 255);
  b = std::clamp(static_cast<int>(std::lround(bf * 255)), 0, 255);
}

void ShiftPixel(std::uint8_t* bgr, int hue_offset, int saturation) {
  const int b = bgr[0], g = bgr[1], r = bgr[2];
  if (r == g && g == b) return;                // grey (the masks' halves, too)
  if (r == 255 && g == 0 && b == 255) return;  // the transparent key
  THsl c = RgbToHsl(r, g, b);
  c.h = std::fmod(c.h + hue_offset, 360.0);
  if (c.h < 0) c.h += 360;
  c.s = std::clamp(c.s * (100.0 + std::clamp(saturation, -100, 100)) / 100.0, 0.0, 1.0);
  int nr, ng, nb;
  HslToRgb(c, nr, ng, nb);
  bgr[0] = static_cast<std::uint8_t>(nb);
  bgr[1] = static_cast<std::uint8_t>(ng);
  bgr[2] = static_cast<std::uint8_t>(nr);
}

}  // namespace

void ShiftBitmap(TBitmap& bitmap, int hue_offset, int saturation) {
  // Skin images have few distinct colours: each is converted once.
  std::unordered_map<std::uint32_t, std::uint32_t> done;
  const int bpp = bitmap.BytesPerPixel();
  for (int y = 0; y < bitmap.Height(); ++y) {
    std::uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, p += bpp) {
      const std::uint32_t key = p[0] | (p[1] << 8) | (p[2] << 16);
      auto it = done.find(key);
      if (it == done.end()) {
        std::uint8_t q[3] = {p[0], p[1], p[2]};
        ShiftPixel(q, hue_offset, saturation);
        it = done.emplace(key, q[0] | (q[1] << 8) | (q[2] << 16)).first;
      }
      p[0] = it->second & 0xFF;
      p[1] = (it->second >> 8) & 0xFF;
      p[2] = (it->second >> 16) & 0xFF;
    }
  }
}

TColor ShiftColor(TColor color, int hue_offset, int saturation) {
  if (color == -1 || color == clFuchsia || (color & 0xFF000000) != 0) return color;
  std::uint8_t bgr[3] = {static_cast<std::uint8_t>(GetBValue(color)),
                         static_cast<std::uint8_t>(GetGValue(color)),
                         static_cast<std::uint8_t>(GetRValue(color))};
  ShiftPixel(bgr, hue_offset, saturation);
  return RGB(bgr[2], bgr[1], bgr[0]);
}
