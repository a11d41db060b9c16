// Nine-piece border masks, glyphs and textures, checked pixel by pixel with
// source images whose pixels name their own position.
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/ImagePieces.h"

using namespace painttest;

namespace {

// An image whose pixels encode their coordinates.
void FillCoded(TBitmap& b) {
  Paint(b, [](int x, int y) { return Code(x, y); });
}

TsImagePiece Piece(const TBitmap& image, TRect source, int count, int mask_type, int mode,
                   int border) {
  return {SourcePixelsOf(image), source, count, mask_type, mode, border, border, border, border};
}

const TsBackground kUnknown = TsBackground::FromColor(kTransparentKey);

}  // namespace

TEST(BorderMask, EditItem21HighUsesBordersOfFive) {
  TBitmap master(135, 100);
  FillCoded(master);
  // "EDIT": ^0045^0045^0090^0087, one frame, no mask part, stretched, borders 5.
  const TsImagePiece edit = Piece(master, Rect(45, 45, 90, 87), 1, 0, kDrawStretch, 5);
  TBitmap b(60, 21);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 60, 21), edit, 0, false, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), Code(45, 45));
  EXPECT_EQ(Px(b, 4, 4), Code(49, 49));
  EXPECT_EQ(Px(b, 0, 16), Code(45, 82));  // bottom corner: last five source rows
  EXPECT_EQ(Px(b, 4, 20), Code(49, 86));
  EXPECT_EQ(Px(b, 59, 20), Code(89, 86));
  // The left edge stretches source rows 50..81 over rows 5..15.
  EXPECT_EQ(Px(b, 0, 5), Code(45, 50));
  EXPECT_EQ(Px(b, 0, 15), Code(45, 50 + 10 * 32 / 11));
  // Top edge: 35 source columns stretched over 50.
  EXPECT_EQ(Px(b, 5, 0), Code(50, 45));
  EXPECT_EQ(Px(b, 54, 0), Code(50 + 49 * 35 / 50, 45));
  // No filling: the inside keeps what was there.
  EXPECT_EQ(Px(b, 30, 10), 0);
}

TEST(BorderMask, EditItem8HighShrinksTopAndBottomToFour) {
  TBitmap master(135, 100);
  FillCoded(master);
  const TsImagePiece edit = Piece(master, Rect(45, 45, 90, 87), 1, 0, kDrawStretch, 5);
  TBitmap b(60, 8);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 60, 8), edit, 0, false, kUnknown);
  EXPECT_EQ(Px(b, 0, 3), Code(45, 48));
  EXPECT_EQ(Px(b, 0, 4), Code(45, 83));  // bottom four rows of the frame
  EXPECT_EQ(Px(b, 0, 7), Code(45, 86));
  EXPECT_EQ(Px(b, 30, 4), Code(45 + 5 + 25 * 35 / 50, 83));
}

TEST(BorderMask, OddWidthTakesThePixelFromTheRight) {
  int l = 8, r = 8;
  FitBorders(15, l, r);
  EXPECT_EQ(l, 8);
  EXPECT_EQ(r, 7);
  l = 5, r = 5;
  FitBorders(8, l, r);
  EXPECT_EQ(l, 4);
  EXPECT_EQ(r, 4);
  l = 5, r = 5;
  FitBorders(7, l, r);
  EXPECT_EQ(l + r, 7);
  EXPECT_EQ(r, 3);
  l = 1, r = 1;
  FitBorders(1, l, r);
  EXPECT_EQ(l, 1);
  EXPECT_EQ(r, 0);
  l = 5, r = 5;
  FitBorders(40, l, r);
  EXPECT_EQ(l, 5);

  TBitmap image(45, 42);
  FillCoded(image);
  const TsImagePiece mask = Piece(image, Rect(0, 0, 45, 42), 1, 0, 0, 8);
  TBitmap b(15, 20);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 15, 20), mask, 0, false, kUnknown);
  EXPECT_EQ(Px(b, 7, 0), Code(7, 0));
  EXPECT_EQ(Px(b, 8, 0), Code(38, 0));  // the right corner's seven columns
  EXPECT_EQ(Px(b, 14, 0), Code(44, 0));
  EXPECT_EQ(Px(b, 8, 10), Code(38, 8 + 2 % 26));
}

TEST(BorderMask, StateAboveTheLastFrameDrawsTheLastFrame) {
  TBitmap image(135, 42);
  FillCoded(image);
  const TsImagePiece mask = Piece(image, Rect(0, 0, 135, 42), 3, 0, 0, 8);
  TBitmap b(30, 30);
  for (int state : {2, 3, 7}) {
    FillAll(b, 0);
    DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 30), mask, state, false, kUnknown);
    EXPECT_EQ(Px(b, 0, 0), Code(90, 0)) << state;
    EXPECT_EQ(Px(b, 29, 29), Code(134, 41)) << state;
  }
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 30), mask, 1, false, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), Code(45, 0));
}

TEST(BorderMask, RectanglesUnderTwoPixelsGetNothing) {
  TBitmap image(45, 42);
  FillCoded(image);
  const TsImagePiece mask = Piece(image, Rect(0, 0, 45, 42), 1, 0, kDrawCentre, 5);
  TBitmap b(10, 10);
  FillAll(b, 0x123456);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 1, 10), mask, 0, true, kUnknown);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 10, 1), mask, 0, true, kUnknown);
  DrawBorderMask(PixelsOf(b), Rect(3, 3, 3, 3), mask, 0, true, kUnknown);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(Px(b, x, y), 0x123456);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 2, 2), mask, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), Code(0, 0));
  EXPECT_EQ(Px(b, 1, 1), Code(44, 41));
  EXPECT_EQ(Px(b, 2, 2), 0x123456);
}

TEST(BorderMask, DrawModeBits) {
  TBitmap image(20, 10);
  FillCoded(image);
  TBitmap b(30, 12);
  // Bit 2: nothing in state 0, drawn in the others.
  const TsImagePiece hot_only = Piece(image, Rect(0, 0, 20, 10), 2, 0, kDrawNotNormal, 3);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), hot_only, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), hot_only, 1, true, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), Code(10, 0));

  // Bit 0 off: edges tile in steps of the centre piece (10 − 3 − 3 = 4).
  const TsImagePiece tiled = Piece(image, Rect(0, 0, 10, 10), 1, 0, kDrawCentre, 3);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), tiled, 0, false, kUnknown);
  EXPECT_EQ(Px(b, 3, 0), Code(3, 0));
  EXPECT_EQ(Px(b, 7, 0), Code(3, 0));
  EXPECT_EQ(Px(b, 26, 0), Code(3 + 23 % 4, 0));
  EXPECT_EQ(Px(b, 0, 7), Code(0, 3 + 4 % 4));
  EXPECT_EQ(Px(b, 10, 5), 0);  // centre needs filling as well as bit 4
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), tiled, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 10, 5), Code(3 + 7 % 4, 3 + 2 % 4));

  // Bit 0 on with bit 4: the centre is stretched too.
  const TsImagePiece stretched =
      Piece(image, Rect(0, 0, 10, 10), 1, 0, kDrawCentre | kDrawStretch, 3);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), stretched, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 26, 8), Code(3 + 23 * 4 / 24, 3 + 5 * 4 / 6));
  // Without bit 4 filling changes nothing.
  const TsImagePiece frame_only = Piece(image, Rect(0, 0, 10, 10), 1, 0, kDrawStretch, 3);
  FillAll(b, 0);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 30, 12), frame_only, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 10, 5), 0);
}

TEST(BorderMask, MaskTypeOneBlendsEveryPieceThroughItsMask) {
  // A 10 × 10 frame with its mask below: mask values by column.
  TBitmap image(10, 20);
  Paint(image, [](int x, int y) {
    if (y < 10) return Channels(200, 100, 50);
    const int m = x == 0 ? 0 : x == 9 ? 255 : 128;
    return Channels(m, m, m);
  });
  // Tiled even with the stretch bit: masks with a mask part always tile.
  const TsImagePiece mask = Piece(image, Rect(0, 0, 10, 20), 1, 1, kDrawStretch | kDrawCentre, 3);
  TBitmap b(20, 20);
  FillAll(b, Channels(0, 255, 10));
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 20, 20), mask, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), Channels(200, 100, 50));  // black mask: the image
  EXPECT_EQ(Px(b, 19, 19),
            Channels(MaskBlend(200, 0, 255), MaskBlend(100, 255, 255), MaskBlend(50, 10, 255)));
  EXPECT_EQ(Px(b, 10, 0),
            Channels(MaskBlend(200, 0, 128), MaskBlend(100, 255, 128), MaskBlend(50, 10, 128)));
  EXPECT_EQ(Px(b, 10, 10), Px(b, 10, 0));  // the centre piece too
}

TEST(BorderMask, KeyCornerPixelsShowTheParentsBitmap) {
  TBitmap image(10, 10);
  Paint(image, [](int x, int y) {
    const bool key = (x == 0 && y == 0) || (x == 9 && y == 9) || (x == 5 && y == 0);
    return key ? clFuchsia : Code(x, y);
  });
  const TsImagePiece mask = Piece(image, Rect(0, 0, 10, 10), 1, 0, kDrawStretch, 3);
  TBitmap parent(40, 40);
  Paint(parent, [](int x, int y) { return Channels(x, y, 0xEE); });
  TBitmap b(20, 20);
  FillAll(b, 0x010101);
  // The item lies at (2, 1) of the cache, and at (3, 4) of the parent.
  const TRect item = Rect(2, 1, 14, 9);
  DrawBorderMask(PixelsOf(b), item, mask, 0, false,
                 TsBackground::FromBitmap(SourcePixelsOf(parent), 3, 4));
  EXPECT_EQ(Px(b, 2, 1), Channels(3, 4, 0xEE));
  EXPECT_EQ(Px(b, 13, 8), Channels(3 + 11, 4 + 7, 0xEE));
  EXPECT_EQ(Px(b, 3, 1), Code(1, 0));
  // A key pixel in an edge keeps what was there.
  EXPECT_EQ(Px(b, 2 + 3 + (5 - 3) * 6 / 4, 1), 0x010101);

  FillAll(b, 0x010101);
  DrawBorderMask(PixelsOf(b), item, mask, 0, false, TsBackground::FromColor(0x4B4C4D));
  EXPECT_EQ(Px(b, 2, 1), 0x4B4C4D);
  EXPECT_EQ(Px(b, 13, 8), 0x4B4C4D);
  // Nothing known behind: the corner keeps the control's own pixels.
  FillAll(b, 0x010101);
  DrawBorderMask(PixelsOf(b), item, mask, 0, false, kUnknown);
  EXPECT_EQ(Px(b, 2, 1), 0x010101);

  // The same rule holds for masks with a mask part.
  TBitmap masked(10, 20);
  Paint(masked, [&](int x, int y) { return y < 10 ? Px(image, x, y) : clBlack; });
  const TsImagePiece mask1 = Piece(masked, Rect(0, 0, 10, 20), 1, 1, 0, 3);
  FillAll(b, 0x010101);
  DrawBorderMask(PixelsOf(b), item, mask1, 0, false,
                 TsBackground::FromBitmap(SourcePixelsOf(parent), 3, 4));
  EXPECT_EQ(Px(b, 2, 1), Channels(3, 4, 0xEE));
  EXPECT_EQ(Px(b, 3, 1), Code(1, 0));
}

TEST(BorderMask, BrokenSourceRectangleIsSkipped) {
  TBitmap image(10, 10);
  FillCoded(image);
  const TsImagePiece mask = Piece(image, Rect(0, 0, 10, 40), 1, 1, 0, 3);  // mask below the image
  TBitmap b(10, 10);
  FillAll(b, 0x222222);
  DrawBorderMask(PixelsOf(b), Rect(0, 0, 10, 10), mask, 0, true, kUnknown);
  EXPECT_EQ(Px(b, 0, 0), 0x222222);
}

TEST(Glyph, FrameForTheStateKeyTransparent) {
  TBitmap image(18, 4);
  Paint(image, [](int x, int y) { return x % 6 == 0 ? clFuchsia : Code(x, y); });
  const TsImagePiece glyph = Piece(image, Rect(0, 0, 18, 4), 3, 0, 0, 0);
  TBitmap b(10, 10);
  FillAll(b, 0x333333);
  DrawGlyph(PixelsOf(b), {2, 3}, glyph, 1);
  EXPECT_EQ(Px(b, 2, 3), 0x333333);
  EXPECT_EQ(Px(b, 3, 3), Code(7, 0));
  EXPECT_EQ(Px(b, 7, 6), Code(11, 3));
  EXPECT_EQ(Px(b, 8, 3), 0x333333);  // outside the 6 × 4 frame
  DrawGlyph(PixelsOf(b), {2, 3}, glyph, 9);
  EXPECT_EQ(Px(b, 3, 3), Code(13, 0));
  // Half strength lays the glyph over what was there.
  FillAll(b, 0x000000);
  DrawGlyph(PixelsOf(b), {0, 0}, glyph, 0, 128);
  const TColor full = Code(1, 0);
  EXPECT_EQ(Px(b, 1, 0), RGB(GetRValue(full) / 2, GetGValue(full) / 2, GetBValue(full) / 2));
  // Clipped at the bitmap's edge.
  DrawGlyph(PixelsOf(b), {8, 8}, glyph, 0);
  EXPECT_EQ(Px(b, 9, 9), Code(1, 1));
}

TEST(Glyph, MaskedGlyphBlendsThroughItsMask) {
  TBitmap image(4, 4);
  Paint(image, [](int x, int y) {
    if (y < 2) return x == 3 ? clFuchsia : Channels(100, 100, 100);
    const int m = x * 85;  // 0, 85, 170, 255
    return Channels(m, m, m);
  });
  const TsImagePiece glyph = Piece(image, Rect(0, 0, 4, 4), 1, 1, 0, 0);
  TBitmap b(4, 2);
  FillAll(b, Channels(250, 250, 250));
  DrawGlyph(PixelsOf(b), {0, 0}, glyph, 0);
  EXPECT_EQ(Px(b, 0, 0), Channels(100, 100, 100));
  EXPECT_EQ(GetBValue(Px(b, 1, 1)), MaskBlend(100, 250, 85));
  EXPECT_EQ(GetBValue(Px(b, 2, 1)), MaskBlend(100, 250, 170));
  EXPECT_EQ(Px(b, 3, 0), Channels(250, 250, 250));
}

TEST(Texture, TileStretchAndEdges) {
  TBitmap image(20, 20);
  FillCoded(image);
  TBitmap b(12, 10);
  TsImagePiece tex = Piece(image, Rect(2, 3, 6, 6), 1, 0, tfTile, 0);  // 4 × 3
  FillAll(b, 0);
  DrawTexture(PixelsOf(b), Rect(1, 1, 12, 10), tex, false);
  EXPECT_EQ(Px(b, 0, 0), 0);
  EXPECT_EQ(Px(b, 1, 1), Code(2, 3));
  EXPECT_EQ(Px(b, 5, 4), Code(2, 3));
  EXPECT_EQ(Px(b, 11, 9), Code(2 + 10 % 4, 3 + 8 % 3));

  tex.draw_mode = tfStretch;
  DrawTexture(PixelsOf(b), Rect(0, 0, 12, 10), tex, false);
  EXPECT_EQ(Px(b, 0, 0), Code(2, 3));
  EXPECT_EQ(Px(b, 11, 9), Code(5, 5));
  EXPECT_EQ(Px(b, 6, 5), Code(2 + 6 * 4 / 12, 3 + 5 * 3 / 10));

  tex.draw_mode = tfTileBottom;
  FillAll(b, 0);
  DrawTexture(PixelsOf(b), Rect(0, 0, 12, 10), tex, false);
  EXPECT_EQ(Px(b, 0, 6), 0);
  EXPECT_EQ(Px(b, 0, 7), Code(2, 3));
  EXPECT_EQ(Px(b, 5, 9), Code(3, 5));
  EXPECT_FALSE(TextureCoversArea(tfTileBottom));

  tex.draw_mode = tfStretchLeft;
  FillAll(b, 0);
  DrawTexture(PixelsOf(b), Rect(0, 0, 12, 10), tex, false);
  EXPECT_EQ(Px(b, 3, 9), Code(5, 5));
  EXPECT_EQ(Px(b, 4, 9), 0);
  EXPECT_TRUE(TextureCoversArea(tfOverlay));
}
