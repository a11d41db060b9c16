// Text layout and contour text drawn into a bitmap.
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/SkinText.h"

using namespace painttest;

namespace {

// Columns and rows where any pixel differs from the background.
TRect InkBox(TBitmap& b, TColor background) {
  TRect r{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (Px(b, x, y) != background) {
        r.Left = std::min(r.Left, x);
        r.Top = std::min(r.Top, y);
        r.Right = std::max(r.Right, x + 1);
        r.Bottom = std::max(r.Bottom, y + 1);
      }
  return r;
}

// Text is antialiased, so tests look at the tints of the ink, not exact
// colours.
template <class Pred>
bool AnyPixel(TBitmap& b, Pred pred) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (pred(Px(b, x, y))) return true;
  return false;
}
bool Grey(TColor c) {
  return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c);
}
int Max(TBitmap& b) {
  int m = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) m = std::max(m, GetRValue(Px(b, x, y)));
  return m;
}

}  // namespace

TEST(TextLayout, AlignmentWrapEllipsisAndTabs) {
  TBitmap b(200, 100);
  TCanvas& c = b.Canvas();
  const int w = c.TextWidth("Ping !");
  auto lines = LayoutText(c, "Ping !", Rect(10, 0, 110, 40), txCenter | txVCenter | txSingleLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].x, 10 + (100 - w) / 2);
  EXPECT_EQ(lines[0].y, (40 - c.TextHeight("Wg")) / 2);
  lines = LayoutText(c, "Save Log...", Rect(0, 0, 100, 40), txRight);
  EXPECT_EQ(lines[0].x, 100 - c.TextWidth("Save Log..."));

  lines = LayoutText(c, "one two three", Rect(0, 0, c.TextWidth("one two") + 1, 90), txWordBreak);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "one two");
  EXPECT_EQ(lines[1].text, "three");
  EXPECT_EQ(lines[1].y, c.TextHeight("Wg"));

  lines =
      LayoutText(c, "a very long caption indeed", Rect(0, 0, 60, 20), txSingleLine | txEndEllipsis);
  EXPECT_LE(c.TextWidth(lines[0].text), 60);
  EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - 3), "...");

  EXPECT_EQ(LayoutText(c, "a\tb", Rect(0, 0, 500, 20), txExpandTabs | txNoPrefix)[0].text,
            "a       b");
  EXPECT_EQ(LayoutText(c, "&Save && Go", Rect(0, 0, 500, 20), 0)[0].text, "Save & Go");
  EXPECT_EQ(LayoutText(c, "&Save", Rect(0, 0, 500, 20), txNoPrefix)[0].text, "&Save");
  EXPECT_EQ(LayoutText(c, "x\r\ny", Rect(0, 0, 500, 40), 0).size(), 2u);
}

TEST(ContourText, ContoursAroundTheTextAndTheStateColourOnTop) {
  TBitmap b(80, 30);
  FillAll(b, 0x000000);
  b.Canvas().Font().SetColor(0x00FF00);
  const TsTextColors colors{0xFFFFFF, 0x0000FF, -1, -1, -1};  // white text, red to the left
  DrawContourText(b.Canvas(), "IIII", Rect(10, 5, 70, 25), txSingleLine, colors, true, false, 0);
  EXPECT_TRUE(AnyPixel(b, [](TColor c) { return GetGValue(c) > 128; }));  // only the text has green
  // The red contour shows one pixel left of the text's ink.
  TBitmap plain(80, 30);
  FillAll(plain, 0x000000);
  DrawContourText(plain.Canvas(), "IIII", Rect(10, 5, 70, 25), txSingleLine,
                  {0xFFFFFF, -1, -1, -1, -1}, true, false, 0);
  EXPECT_EQ(InkBox(b, 0).Left, InkBox(plain, 0).Left - 1);
  EXPECT_EQ(InkBox(b, 0).Right, InkBox(plain, 0).Right);
  // The font's own colour is back afterwards.
  EXPECT_EQ(b.Canvas().Font().Color(), 0x00FF00);
}

TEST(ContourText, ClippedToTheTextRectangle) {
  TBitmap b(80, 30);
  FillAll(b, 0x000000);
  DrawContourText(b.Canvas(), "WWWWWWWWWWWW", Rect(10, 5, 30, 25), txSingleLine,
                  {0xFFFFFF, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF}, true, false, 0);
  const TRect ink = InkBox(b, 0);
  EXPECT_GE(ink.Left, 10);
  EXPECT_LE(ink.Right, 30);
  EXPECT_GE(ink.Top, 5);
}

TEST(ContourText, CustomFontAndDisabledColours) {
  TBitmap b(80, 30);
  FillAll(b, 0x000000);
  b.Canvas().Font().SetColor(0x00FF00);
  DrawContourText(b.Canvas(), "IIII", Rect(0, 0, 80, 30), txSingleLine,
                  {0xFFFFFF, 0x0000FF, -1, -1, -1}, true, true, 0);
  EXPECT_TRUE(AnyPixel(b, [](TColor c) { return GetGValue(c) > 128; }));
  EXPECT_FALSE(AnyPixel(b, [](TColor c) { return GetRValue(c) > 0 || GetBValue(c) > 0; }));

  FillAll(b, 0x000000);
  // 0.4 × 0xC8C8C8 + 0.6 × 0x464646 = 0x5E... per channel: 80 + 42 = 122.
  DrawContourText(b.Canvas(), "IIII", Rect(0, 0, 80, 30), txSingleLine,
                  {0xC8C8C8, 0x0000FF, -1, -1, -1}, false, false, 0x464646);
  EXPECT_FALSE(AnyPixel(b, [](TColor c) { return !Grey(c) || GetRValue(c) > 0x7A; }));
  EXPECT_GT(Max(b), 0x7A / 2);
}
