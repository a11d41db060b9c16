// Skin geometry is outside data: pieces that lie partly or wholly outside
// their image, odd counts and widths, rectangles beyond the bitmap. None may
// touch memory outside the bitmaps (the sanitizer build checks) or pixels
// outside the rectangle being painted.
#include <gtest/gtest.h>

#include <random>

#include "PaintTestUtil.h"
#include "skin/SkinPaint.h"

using namespace painttest;

namespace {

int Pick(std::mt19937& rng, int lo, int hi) {
  return std::uniform_int_distribution<int>(lo, hi)(rng);
}

TRect RandomRect(std::mt19937& rng, int limit) {
  const int l = Pick(rng, -limit / 2, limit), t = Pick(rng, -limit / 2, limit);
  return {l, t, l + Pick(rng, -3, limit), t + Pick(rng, -3, limit)};
}

}  // namespace

TEST(PaintRobustness, RandomGeometryStaysInsideItsRectangle) {
  std::mt19937 rng(20240611);
  TBitmap image(37, 29);
  Paint(image, [](int x, int y) { return (x * y) % 7 == 0 ? clFuchsia : Code(x, y); });
  TBitmap parent(23, 19);
  Paint(parent, [](int x, int y) { return Channels(x, y, 0x44); });
  TBitmap b(31, 27);
  for (int round = 0; round < 3000; ++round) {
    FillAll(b, 0x0A0B0C);
    TsImagePiece piece{SourcePixelsOf(image), RandomRect(rng, 45), Pick(rng, -1, 4),
                       Pick(rng, -1, 2),      Pick(rng, 0, 12),    Pick(rng, -2, 30),
                       Pick(rng, -2, 30),     Pick(rng, -2, 30),   Pick(rng, -2, 30)};
    const TRect rect = RandomRect(rng, 40);
    const TsBackground back =
        Pick(rng, 0, 2) == 0
            ? TsBackground::FromColor(Pick(rng, 0, 1) ? kTransparentKey : 0x123456)
            : TsBackground::FromBitmap(Pick(rng, 0, 3) ? SourcePixelsOf(parent) : PixelsOf(b),
                                       Pick(rng, -20, 30), Pick(rng, -20, 30));
    const int state = Pick(rng, -1, 5);
    switch (round % 5) {
      case 0:
        DrawBorderMask(PixelsOf(b), rect, piece, state, Pick(rng, 0, 1) == 1, back);
        break;
      case 1:
        DrawGlyph(PixelsOf(b), {rect.Left, rect.Top}, piece, state, Pick(rng, 0, 300));
        break;
      case 2:
        DrawTexture(PixelsOf(b), rect, piece, Pick(rng, 0, 1) == 1);
        break;
      case 3: {
        std::vector<TsGradientBand> bands(static_cast<std::size_t>(Pick(rng, 0, 6)));
        for (auto& band : bands)
          band = {Pick(rng, 0, 0xFFFFFF), Pick(rng, 0, 0xFFFFFF), Pick(rng, 0, 120),
                  Pick(rng, 0, 3)};
        PaintGradient(PixelsOf(b), rect, bands);
        break;
      }
      default: {
        TsLook look;
        look.color = 0x202020;
        look.transparency = Pick(rng, 0, 100);
        look.gradient_percent = Pick(rng, 0, 100);
        look.gradient = {{0x111111, 0xEEEEEE, Pick(rng, 0, 100), Pick(rng, 0, 2)}};
        look.image_percent = Pick(rng, 0, 100);
        if (Pick(rng, 0, 1)) look.texture = piece;
        look.state = state;
        PaintSectionBackground(PixelsOf(b), rect, look, back);
        PaintDisabledLook(PixelsOf(b), rect, Pick(rng, 0, 3), back);
        break;
      }
    }
    // Glyphs are placed at a point and may reach beyond `rect`; everything
    // else keeps to it.
    if (round % 5 == 1) continue;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x)
        if (!rect.Contains({x, y})) {
          ASSERT_EQ(Px(b, x, y), 0x0A0B0C) << "round " << round << " at " << x << "," << y;
        }
  }
}
