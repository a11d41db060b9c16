// The vector kernels against the scalar formulas, over lengths that take
// every path (vector bodies, period wrap-around and tails).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "skin/PixelKernels.h"

namespace {

std::vector<std::uint8_t> Noise(std::mt19937& rng, int n) {
  std::vector<std::uint8_t> v(static_cast<std::size_t>(n));
  for (auto& b : v) b = static_cast<std::uint8_t>(rng() & 0xFF);
  return v;
}

}  // namespace

TEST(PixelKernels, MatchTheScalarFormulasAtEveryLength) {
  std::mt19937 rng(7);
  for (int pixels = 0; pixels < 140; ++pixels) {
    const int n = 3 * pixels;
    const auto a = Noise(rng, n), b = Noise(rng, n), m = Noise(rng, n);
    for (int t : {0, 1, 43, 127, 128, 254, 255}) {
      std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
      skin_kernels::Blend(out.data(), a.data(), b.data(), n, t);
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(out[i], (a[i] * t + b[i] * (255 - t) + 127) / 256) << pixels << " " << i;
      }
      const std::uint16_t k[3] = {static_cast<std::uint16_t>(10 * (255 - t) + 127),
                                  static_cast<std::uint16_t>(200 * (255 - t) + 127),
                                  static_cast<std::uint16_t>(255 * (255 - t) + 127)};
      skin_kernels::BlendWithConstant(out.data(), a.data(), pixels, k, t);
      for (int i = 0; i < n; ++i)
        ASSERT_EQ(out[i], (k[i % 3] + a[i] * t) / 256) << pixels << " " << i;
    }
    std::vector<std::uint8_t> d = b;
    skin_kernels::MaskBlend(d.data(), a.data(), m.data(), n);
    for (int i = 0; i < n; ++i)
      ASSERT_EQ(d[i], a[i] + (b[i] - a[i]) * m[i] / 256) << pixels << " " << i;
  }
}

TEST(PixelKernels, InPlaceBlend) {
  std::mt19937 rng(3);
  auto a = Noise(rng, 301);
  const auto b = Noise(rng, 301), before = a;
  skin_kernels::Blend(a.data(), a.data(), b.data(), 301, 43);
  for (int i = 0; i < 301; ++i) ASSERT_EQ(a[i], (before[i] * 43 + b[i] * 212 + 127) / 256);
}
