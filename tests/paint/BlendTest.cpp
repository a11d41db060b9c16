// The blend formulas at their boundary weights, and the row helpers that
// apply them.
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/SkinPaint.h"

using namespace painttest;

TEST(BlendFormulas, TransparencyBlendAtItsBoundaryWeights) {
  // t is the destination's weight; the +127 and ÷256 lose a level at the ends.
  EXPECT_EQ(TransparencyBlend(0, 255, 0), 254);
  EXPECT_EQ(TransparencyBlend(255, 0, 0), 0);
  EXPECT_EQ(TransparencyBlend(255, 0, 255), 254);
  EXPECT_EQ(TransparencyBlend(0, 255, 255), 0);
  EXPECT_EQ(TransparencyBlend(200, 100, 128), (200 * 128 + 100 * 127 + 127) / 256);
  EXPECT_EQ(TransparencyBlend(0, 0, 0), 0);
  EXPECT_EQ(PercentToWeight(17), 43);
  EXPECT_EQ(PercentToWeight(100), 255);
  EXPECT_EQ(PercentToWeight(40), 102);
}

TEST(BlendFormulas, PercentBlendAtItsBoundaryWeights) {
  EXPECT_EQ(PercentBlend(200, 10, 100), 200);
  EXPECT_EQ(PercentBlend(200, 10, 0), 10);
  EXPECT_EQ(PercentBlend(255, 0, 1), 3);     // 2.55 rounds up
  EXPECT_EQ(PercentBlend(255, 0, 99), 252);  // 252.45 rounds down
  EXPECT_EQ(PercentBlend(1, 0, 50), 1);      // 0.5 rounds up
}

TEST(BlendFormulas, MaskBlendBlackKeepsSourceWhiteKeepsDestination) {
  EXPECT_EQ(MaskBlend(10, 200, 0), 10);
  EXPECT_EQ(MaskBlend(0, 255, 255), 254);
  // (0 − 255) × 255 ÷ 256 truncates toward zero: −254.
  EXPECT_EQ(MaskBlend(255, 0, 255), 1);
  EXPECT_EQ(MaskBlend(100, 50, 128), 75);
  EXPECT_EQ(MaskBlend(100, 51, 128), 76);  // −24.5 truncates to −24
}

TEST(BlendFormulas, ColorMixRoundsPerChannel) {
  EXPECT_EQ(ColorMix(0xFFFFFF, 0, 4, 10), 0x666666);  // 102 each
  EXPECT_EQ(ColorMix(RGB(1, 0, 0), 0, 1, 2), RGB(1, 0, 0));
  EXPECT_EQ(ColorMix(RGB(10, 20, 30), RGB(30, 40, 50), 4, 10), RGB(22, 32, 42));
  EXPECT_EQ(ColorMix(RGB(1, 2, 3), RGB(4, 5, 6), 10, 10), RGB(1, 2, 3));
  EXPECT_EQ(ColorMix(RGB(1, 2, 3), RGB(4, 5, 6), 0, 10), RGB(4, 5, 6));
}

TEST(BlendRows, FillClipsToTheBitmap) {
  TBitmap b(4, 3);
  FillAll(b, 0x010203);
  FillSolid(PixelsOf(b), Rect(-5, 1, 2, 99), 0x0A0B0C);
  EXPECT_EQ(Px(b, 0, 0), 0x010203);
  EXPECT_EQ(Px(b, 1, 1), 0x0A0B0C);
  EXPECT_EQ(Px(b, 1, 2), 0x0A0B0C);
  EXPECT_EQ(Px(b, 2, 2), 0x010203);
  FillSolid(PixelsOf(b), Rect(10, 10, 20, 20), 0);  // wholly outside: nothing
}

TEST(BlendRows, BackgroundBlendFromBitmapAtOffsetsAndFromColour) {
  TBitmap parent(10, 10);
  Paint(parent, [](int x, int y) { return Channels(10 * x, 10 * y, 200); });
  TBitmap b(4, 4);
  FillAll(b, Channels(100, 50, 0));
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(parent), 3, 5);
  BlendBackground(PixelsOf(b), Rect(1, 1, 3, 3), {1, 1}, back, 43);
  // Pixel (2, 2) lies one right and one down from the origin: parent (4, 6).
  EXPECT_EQ(Px(b, 2, 2), Channels(TransparencyBlend(40, 100, 43), TransparencyBlend(60, 50, 43),
                                  TransparencyBlend(200, 0, 43)));
  EXPECT_EQ(Px(b, 0, 0), Channels(100, 50, 0));  // outside the rectangle

  FillAll(b, Channels(100, 50, 0));
  BlendBackground(PixelsOf(b), Rect(0, 0, 4, 4), {0, 0},
                  TsBackground::FromColor(Channels(0, 0, 255)), 255);
  EXPECT_EQ(Px(b, 3, 3), Channels(TransparencyBlend(0, 100, 255), 0, 254));
  // An unknown background blends nothing in.
  FillAll(b, Channels(100, 50, 0));
  BlendBackground(PixelsOf(b), Rect(0, 0, 4, 4), {0, 0}, TsBackground::FromColor(kTransparentKey),
                  200);
  EXPECT_EQ(Px(b, 3, 3), Channels(100, 50, 0));
}

TEST(BlendRows, BackgroundOutsideTheParentLeavesPixelsAlone) {
  TBitmap parent(2, 2);
  FillAll(parent, 0x112233);
  TBitmap b(4, 1);
  FillAll(b, 0x445566);
  PutBackground(PixelsOf(b), Rect(0, 0, 4, 1), {0, 0},
                TsBackground::FromBitmap(SourcePixelsOf(parent), 1, 0));
  EXPECT_EQ(Px(b, 0, 0), 0x112233);
  EXPECT_EQ(Px(b, 1, 0), 0x445566);
}

TEST(BlendRows, ColourBlendedInByPercent) {
  TBitmap b(2, 1);
  SetPx(b, 0, 0, Channels(200, 100, 0));
  SetPx(b, 1, 0, Channels(255, 255, 255));
  BlendColorIn(PixelsOf(b), Rect(0, 0, 2, 1), Channels(0, 0, 100), 60);
  EXPECT_EQ(Px(b, 0, 0), Channels(120, 60, 40));
  EXPECT_EQ(Px(b, 1, 0), Channels(153, 153, 193));
}

TEST(DisabledLook, GreyIsLuminanceAndKeepsBlackAndWhite) {
  TBitmap b(5, 1);
  SetPx(b, 0, 0, clWhite);
  SetPx(b, 1, 0, clBlack);
  SetPx(b, 2, 0, clRed);
  SetPx(b, 3, 0, clLime);
  SetPx(b, 4, 0, clBlue);
  PaintDisabledLook(PixelsOf(b), Rect(0, 0, 5, 1), dkGrayed,
                    TsBackground::FromColor(kTransparentKey));
  EXPECT_EQ(Px(b, 0, 0), 0xFFFFFF);
  EXPECT_EQ(Px(b, 1, 0), 0x000000);
  EXPECT_EQ(Px(b, 2, 0), 0x4D4D4D);  // 77 × 255 / 256 rounded: red is dark
  EXPECT_EQ(Px(b, 3, 0), 0x959595);  // green is the brightest
  EXPECT_EQ(Px(b, 4, 0), 0x1D1D1D);
}

TEST(DisabledLook, BlendedTakesFortyPercentOfTheParentBitmapOrHalfItsColour) {
  TBitmap parent(3, 3);
  FillAll(parent, Channels(250, 0, 100));
  TBitmap b(2, 2);
  FillAll(b, Channels(0, 250, 100));
  PaintDisabledLook(PixelsOf(b), Rect(0, 0, 2, 2), kDefaultDisabledKind,
                    TsBackground::FromBitmap(SourcePixelsOf(parent), 1, 1));
  EXPECT_EQ(Px(b, 1, 1), Channels(TransparencyBlend(250, 0, 102), TransparencyBlend(0, 250, 102),
                                  TransparencyBlend(100, 100, 102)));
  FillAll(b, Channels(0, 250, 100));
  PaintDisabledLook(PixelsOf(b), Rect(0, 0, 2, 2), dkBlended,
                    TsBackground::FromColor(Channels(250, 0, 100)));
  EXPECT_EQ(Px(b, 0, 0), Channels(TransparencyBlend(250, 0, 127), TransparencyBlend(0, 250, 127),
                                  TransparencyBlend(100, 100, 127)));
  // Both: grey first, then the parent over it.
  FillAll(b, clWhite);
  PaintDisabledLook(PixelsOf(b), Rect(0, 0, 2, 2), dkBlended | dkGrayed,
                    TsBackground::FromColor(clBlack));
  EXPECT_EQ(Px(b, 0, 0), RGB(127, 127, 127));
}
