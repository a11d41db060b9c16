// Composing a section's background from colour, gradient, texture and
// transparency over what lies behind it.
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/SkinPaint.h"

using namespace painttest;

namespace {

TsLook Plain(TColor color, int transparency = 0) {
  TsLook look;
  look.color = color;
  look.transparency = transparency;
  return look;
}

TColor Blend3(TColor back, TColor own, int t) {
  return RGB(TransparencyBlend(GetRValue(back), GetRValue(own), t),
             TransparencyBlend(GetGValue(back), GetGValue(own), t),
             TransparencyBlend(GetBValue(back), GetBValue(own), t));
}

}  // namespace

TEST(SectionBackground, OpaqueColourFillsTheRectangle) {
  TBitmap b(6, 6);
  FillAll(b, 0);
  PaintSectionBackground(PixelsOf(b), Rect(1, 1, 5, 5), Plain(0x4B4C4D),
                         TsBackground::FromColor(0x102030));
  EXPECT_EQ(Px(b, 1, 1), 0x4B4C4D);
  EXPECT_EQ(Px(b, 4, 4), 0x4B4C4D);
  EXPECT_EQ(Px(b, 5, 5), 0);
}

TEST(SectionBackground, Transparency17BlendsSeventeenPercentOfTheParent) {
  TBitmap parent(20, 20);
  Paint(parent, [](int x, int y) { return Channels(x * 10, y * 10, 77); });
  TBitmap b(8, 8);
  FillAll(b, 0);
  const TColor own = 0x6A4030;
  PaintSectionBackground(PixelsOf(b), Rect(2, 2, 8, 8), Plain(own, 17),
                         TsBackground::FromBitmap(SourcePixelsOf(parent), 5, 6));
  // t = 17 × 255 ÷ 100 = 43; cache (3, 4) is parent (5 + 1, 6 + 2).
  EXPECT_EQ(Px(b, 3, 4), Blend3(Channels(60, 80, 77), own, 43));
  EXPECT_EQ(Px(b, 2, 2), Blend3(Channels(50, 60, 77), own, 43));
  EXPECT_EQ(Px(b, 1, 1), 0);
  // Over a colour.
  PaintSectionBackground(PixelsOf(b), Rect(0, 0, 8, 8), Plain(own, 17),
                         TsBackground::FromColor(0xFFFFFF));
  EXPECT_EQ(Px(b, 7, 7), Blend3(0xFFFFFF, own, 43));
}

TEST(SectionBackground, Transparency100ShowsTheBackground) {
  TBitmap parent(10, 10);
  Paint(parent, [](int x, int y) { return Code(x, y); });
  TBitmap b(4, 4);
  FillAll(b, 0);
  PaintSectionBackground(PixelsOf(b), Rect(1, 0, 4, 4), Plain(0x123456, 100),
                         TsBackground::FromBitmap(SourcePixelsOf(parent), 3, 2));
  EXPECT_EQ(Px(b, 1, 0), Code(3, 2));
  EXPECT_EQ(Px(b, 3, 3), Code(5, 5));
  EXPECT_EQ(Px(b, 0, 0), 0);
  PaintSectionBackground(PixelsOf(b), Rect(0, 0, 4, 4), Plain(0x123456, 100),
                         TsBackground::FromColor(0x0A0B0C));
  EXPECT_EQ(Px(b, 2, 2), 0x0A0B0C);
}

TEST(SectionBackground, Transparency100OverTheTargetItselfLeavesItUntouched) {
  TBitmap b(6, 6);
  Paint(b, [](int x, int y) { return Code(x, y); });
  PaintSectionBackground(PixelsOf(b), Rect(0, 0, 6, 6), Plain(0x123456, 100),
                         TsBackground::FromBitmap(SourcePixelsOf(b), 2, 2));
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(Px(b, x, y), Code(x, y));
}

TEST(SectionBackground, PartialTransparencyOverTheTargetItselfBlendsWithWhatIsThere) {
  TBitmap b(4, 4);
  Paint(b, [](int x, int y) { return Code(x, y); });
  PaintSectionBackground(PixelsOf(b), Rect(1, 1, 3, 3), Plain(0x808080, 50),
                         TsBackground::FromBitmap(SourcePixelsOf(b), 0, 0));
  EXPECT_EQ(Px(b, 2, 2), Blend3(Code(2, 2), 0x808080, 127));
  EXPECT_EQ(Px(b, 0, 0), Code(0, 0));
}

TEST(SectionBackground, UnknownBackgroundPaintsTheOwnLook) {
  TBitmap b(3, 3);
  FillAll(b, 0);
  PaintSectionBackground(PixelsOf(b), Rect(0, 0, 3, 3), Plain(0x445566, 100),
                         TsBackground::FromColor(kTransparentKey));
  EXPECT_EQ(Px(b, 1, 1), 0x445566);
  PaintSectionBackground(PixelsOf(b), Rect(0, 0, 3, 3), Plain(0x112233, 40),
                         TsBackground::FromColor(kTransparentKey));
  EXPECT_EQ(Px(b, 1, 1), 0x112233);
}

TEST(SectionLook, GradientPercentBelow100BlendsTheColourIn) {
  TBitmap b(2, 10);
  TsLook look = Plain(Channels(0, 0, 200));
  look.gradient = {{Channels(100, 100, 100), Channels(100, 100, 100), 100, 0}};
  look.gradient_percent = 60;
  PaintLook(PixelsOf(b), Rect(0, 0, 2, 10), look);
  EXPECT_EQ(Px(b, 0, 5), Channels(60, 60, 140));
  look.gradient_percent = 100;
  PaintLook(PixelsOf(b), Rect(0, 0, 2, 10), look);
  EXPECT_EQ(Px(b, 0, 5), Channels(100, 100, 100));
  // A gradient percent without steps paints the plain colour.
  look.gradient.clear();
  PaintLook(PixelsOf(b), Rect(0, 0, 2, 10), look);
  EXPECT_EQ(Px(b, 0, 5), Channels(0, 0, 200));
}

TEST(SectionLook, TextureAndGradientBlendByTheImagePercent) {
  TBitmap image(4, 4);
  FillAll(image, Channels(200, 0, 40));
  TsLook look = Plain(Channels(10, 20, 30));
  look.texture = TsImagePiece{SourcePixelsOf(image), Rect(0, 0, 4, 4), 1, 0, tfTile};
  look.image_percent = 100;
  TBitmap b(6, 6);
  PaintLook(PixelsOf(b), Rect(0, 0, 6, 6), look);
  EXPECT_EQ(Px(b, 5, 5), Channels(200, 0, 40));

  look.image_percent = 30;
  look.gradient_percent = 70;
  look.gradient = {{Channels(0, 250, 0), Channels(0, 250, 0), 100, 0}};
  PaintLook(PixelsOf(b), Rect(0, 0, 6, 6), look);
  // t = 30 × 255 ÷ 100 = 76 is the texture's weight.
  EXPECT_EQ(Px(b, 5, 5), Channels(TransparencyBlend(200, 0, 76), TransparencyBlend(0, 250, 76),
                                  TransparencyBlend(40, 0, 76)));

  // Texture 40 % alone: the colour takes the other 60 %.
  look.gradient_percent = 0;
  look.image_percent = 40;
  PaintLook(PixelsOf(b), Rect(0, 0, 6, 6), look);
  EXPECT_EQ(Px(b, 0, 0),
            Channels(PercentBlend(200, 10, 40), PercentBlend(0, 20, 40), PercentBlend(40, 30, 40)));
}

TEST(SectionLook, MissingTextureFallsBackToTheColour) {
  TBitmap b(3, 3);
  FillAll(b, 0xABCDEF);
  TsLook look = Plain(0x102030);
  look.image_percent = 50;
  PaintLook(PixelsOf(b), Rect(0, 0, 3, 3), look);
  EXPECT_EQ(Px(b, 1, 1), 0x102030);
}

TEST(SectionLook, MaskedOverlayTextureIsLaidOnceMoreInStateZero) {
  // Texture 2 × 2 with its mask below: left column black (image), right
  // column white (keep what is there).
  TBitmap image(2, 4);
  Paint(image,
        [](int x, int y) { return y < 2 ? Channels(0, 0, 255) : (x == 0 ? clBlack : clWhite); });
  TsLook look = Plain(Channels(0, 255, 0));
  look.texture = TsImagePiece{SourcePixelsOf(image), Rect(0, 0, 2, 4), 1, 1, tfOverlay};
  look.image_percent = 100;
  TBitmap b(4, 2);
  PaintLook(PixelsOf(b), Rect(0, 0, 4, 2), look);
  EXPECT_EQ(Px(b, 0, 0), Channels(0, 0, 255));
  // White mask over the colour: drawn twice, each keeping almost all.
  const int once = MaskBlend(0, 255, 255);
  EXPECT_EQ(GetGValue(Px(b, 1, 0)), MaskBlend(0, once, 255));
  look.state = 1;
  PaintLook(PixelsOf(b), Rect(0, 0, 4, 2), look);
  EXPECT_EQ(GetGValue(Px(b, 1, 0)), once);
}
