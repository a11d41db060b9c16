// Vertical, horizontal and mesh gradients.
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/Gradient.h"

using namespace painttest;

namespace {

// The internal skin's "PANEL" gradient.
const std::vector<TsGradientBand> kPanel = {
    {6646376, 6646376, 66, 0}, {6646376, 5790301, 34, 0}, {5790301, 5790301, 0, 0}};

int Lerp(int a, int b, int j, int d) {
  const double v = a + (b - a) * static_cast<double>(j) / d;
  return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);
}

TColor LerpColor(TColor c1, TColor c2, int j, int d) {
  return RGB(Lerp(GetRValue(c1), GetRValue(c2), j, d), Lerp(GetGValue(c1), GetGValue(c2), j, d),
             Lerp(GetBValue(c1), GetBValue(c2), j, d));
}

}  // namespace

TEST(VerticalGradient, PanelGradientOverTheTopBand) {
  TBitmap b(431, 73);
  PaintGradient(PixelsOf(b), Rect(0, 0, 431, 73), kPanel);
  // 66 % of 73 = 48 rows solid, 34 % = 24 rows shading, the rest (1 row) the
  // last band.
  for (int y = 0; y < 48; ++y) ASSERT_EQ(Px(b, 0, y), 0x656A68) << y;
  for (int y = 48; y < 72; ++y)
    ASSERT_EQ(Px(b, 200, y), LerpColor(6646376, 5790301, y - 48, 23)) << y;
  EXPECT_EQ(Px(b, 430, 48), 0x656A68);
  EXPECT_EQ(Px(b, 430, 71), 0x585A5D);
  EXPECT_EQ(Px(b, 430, 72), 0x585A5D);
}

TEST(VerticalGradient, PercentagesShortOf100StillReachTheBottom) {
  TBitmap b(3, 10);
  FillAll(b, clFuchsia);
  const std::vector<TsGradientBand> bands = {{0x000000, 0x000000, 30, 0},
                                             {0x0000FF, 0x00FFFF, 30, 0}};
  PaintGradient(PixelsOf(b), Rect(0, 0, 3, 10), bands);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(Px(b, 1, y), 0);
  // The last band is stretched over the seven remaining rows.
  EXPECT_EQ(Px(b, 1, 3), 0x0000FF);
  EXPECT_EQ(Px(b, 1, 6), LerpColor(0x0000FF, 0x00FFFF, 3, 6));
  EXPECT_EQ(Px(b, 1, 9), 0x00FFFF);
}

TEST(VerticalGradient, BandsPastTheBottomAreCutAndClippingKeepsTheLayout) {
  TBitmap b(2, 4);
  FillAll(b, clFuchsia);
  const std::vector<TsGradientBand> bands = {{0x000000, 0x0000FF, 100, 0},
                                             {0xFFFFFF, 0xFFFFFF, 50, 0}};
  // The rectangle reaches 4 rows above the bitmap: rows 4..7 of 8 show.
  PaintGradient(PixelsOf(b), Rect(0, -4, 2, 4), bands);
  EXPECT_EQ(Px(b, 0, 0), LerpColor(0x000000, 0x0000FF, 4, 7));
  EXPECT_EQ(Px(b, 0, 3), 0x0000FF);
}

TEST(HorizontalGradient, BandWidthsAreRoundedAndTheLastRunsToTheRightEdge) {
  TBitmap b(10, 2);
  FillAll(b, clFuchsia);
  const std::vector<TsGradientBand> bands = {{0x000000, 0x000000, 25, 1},
                                             {0x0000FF, 0x0000FF, 20, 1}};
  PaintGradient(PixelsOf(b), Rect(0, 0, 10, 2), bands);
  // round(2.5) = 3 columns of black, then seven of red.
  for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(b, x, 1), 0) << x;
  for (int x = 3; x < 10; ++x) EXPECT_EQ(Px(b, x, 1), 0x0000FF) << x;
  const std::vector<TsGradientBand> shade = {{0x000000, 0x0000FF, 100, 1}};
  PaintGradient(PixelsOf(b), Rect(0, 0, 10, 2), shade);
  EXPECT_EQ(Px(b, 0, 0), 0);
  EXPECT_EQ(Px(b, 9, 0), 0x0000FF);
  EXPECT_EQ(Px(b, 3, 1), LerpColor(0, 0xFF, 3, 9));
}

TEST(Gradient, NoStepsPaintsNothing) {
  TBitmap b(2, 2);
  FillAll(b, 0x123456);
  PaintGradient(PixelsOf(b), Rect(0, 0, 2, 2), std::vector<TsGradientBand>{});
  EXPECT_EQ(Px(b, 1, 1), 0x123456);
}

TEST(MeshGradient, FourTrianglesCoverEveryPixelExactlyOnce) {
  for (const TRect r : {Rect(0, 0, 31, 17), Rect(0, 0, 8, 8), Rect(2, 1, 9, 2), Rect(0, 0, 1, 5)}) {
    std::vector<int> count(static_cast<std::size_t>(40 * 20), 0);
    const TsMeshVertex tl{r.Left, r.Top, 0}, tr{r.Right, r.Top, 0}, br{r.Right, r.Bottom, 0},
        bl{r.Left, r.Bottom, 0};
    const TsMeshVertex ce{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, 0};
    const TsMeshVertex tris[4][3] = {{tl, ce, tr}, {ce, tr, br}, {tl, ce, bl}, {bl, ce, br}};
    for (const auto& tri : tris) {
      TBitmap b(40, 20);
      FillAll(b, clFuchsia);
      FillShadedTriangle(PixelsOf(b), r, tri[0], tri[1], tri[2]);
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
          if (Px(b, x, y) == 0)
            ++count[static_cast<std::size_t>(y) * 40 + static_cast<std::size_t>(x)];
    }
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x)
        ASSERT_EQ(count[static_cast<std::size_t>(y * 40 + x)], r.Contains({x, y}) ? 1 : 0)
            << x << "," << y << " in " << r.Right << "x" << r.Bottom;
  }
}

TEST(MeshGradient, ColoursComeFromTheFiveVertices) {
  TBitmap b(101, 51);
  const std::vector<TsGradientBand> steps = {
      {0x0000FF, 0, 0, 2}, {0xFFFFFF, 0, 0, 0}, {0x00FF00, 0, 0, 0}, {0xFF0000, 0, 0, 0}};
  PaintGradient(PixelsOf(b), Rect(0, 0, 101, 51), steps);
  auto near = [](TColor got, TColor want, int tol) {
    return std::abs(GetRValue(got) - GetRValue(want)) <= tol &&
           std::abs(GetGValue(got) - GetGValue(want)) <= tol &&
           std::abs(GetBValue(got) - GetBValue(want)) <= tol;
  };
  EXPECT_PRED3(near, Px(b, 0, 0), 0x0000FF, 8);
  EXPECT_PRED3(near, Px(b, 100, 0), 0x00FF00, 8);
  EXPECT_PRED3(near, Px(b, 100, 50), 0xFF0000, 8);
  // The fifth vertex repeats the fourth step's colour.
  EXPECT_PRED3(near, Px(b, 0, 50), 0xFF0000, 8);
  EXPECT_PRED3(near, Px(b, 50, 25), 0xFFFFFF, 8);
  // Halfway along the top edge: the mix of the two top corners.
  EXPECT_PRED3(near, Px(b, 50, 0), RGB(128, 128, 0), 8);
}

TEST(MeshGradient, OneColourMeshIsUniform) {
  TBitmap b(13, 9);
  PaintMeshGradient(PixelsOf(b), Rect(0, 0, 13, 9), 0x405060, 0x405060, 0x405060, 0x405060,
                    0x405060);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(Px(b, x, y), 0x405060);
}
