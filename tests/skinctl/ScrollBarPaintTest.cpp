// The skinned scroll bar's geometry and look, without a window: slider
// lengths and offsets for known ranges, the parts along the bar, and the
// bar painted from a small skin whose every state frame has its own colour,
// so that the state each part is painted in can be read off its pixels.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/SystemMetrics.h"
#include "skin/Blend.h"
#include "skin/SkinPaint.h"
#include "skin/sScrollBar.h"
#include "skin/sSkinModel.h"
#include "toolkit/Graphics.h"

namespace {

TScrollInfo Info(int min, int max, int page, int pos) {
  return {min, max, page, pos, pos};
}

TColor Px(TBitmap& b, int x, int y) {
  return LoadPixel(PixelsOf(b).At(x, y));
}

// A skin of the scroll sections only. Border masks: three frames of 10 × 10,
// solid in kFrame[state], stretched with their centre; glyphs: three frames
// of 5 × 4 in kGlyph[state]; the track sections have their own normal and
// hot colours.
constexpr TColor kFrame[3] = {0x101010, 0x505050, 0x909090};
constexpr TColor kGlyph[3] = {0x0000F0, 0x00F000, 0xF00000};
constexpr TColor kTrack1[2] = {0x112233, 0x445566};  // normal, hot
constexpr TColor kTrack2[2] = {0x213243, 0x546576};
constexpr TColor kTone = 0x303030;  // "SCROLLBAR1H"
constexpr TColor kCorner = 0x0F0F0F;

class ScrollSkin : public ::testing::Test {
 protected:
  void SetUp() override { Build(false); }

  // With `tall_images`, the top arrow has an "IMGTOPLEFT" image and the
  // bottom arrow a glyph of 5 × 30 in kCorner, which stand out of the
  // arrows into the track.
  void Build(bool tall_images) {
    auto master = std::make_shared<TBitmap>(50, 30);
    for (int s = 0; s < 3; ++s) {
      FillSolid(PixelsOf(*master), Rect(10 * s, 0, 10 * s + 10, 10), kFrame[s]);
      FillSolid(PixelsOf(*master), Rect(30 + 5 * s, 0, 35 + 5 * s, 4), kGlyph[s]);
    }
    FillSolid(PixelsOf(*master), Rect(45, 0, 50, 30), kCorner);
    std::vector<SectionRecord> sections;
    std::vector<MaskRecord> masks;
    auto section = [&](const char* name, TColor color, TColor hot) {
      SectionRecord r;
      r.SectionName = name;
      r.Color = color;
      r.HotColor = hot;
      sections.push_back(r);
    };
    auto border = [&](const char* name) {
      MaskRecord m;
      m.SectionName = name;
      m.PropertyName = "BORDERSMASK";
      m.SourceRect = Rect(0, 0, 30, 10);
      m.ImageCount = 3;
      m.DrawMode = kDrawStretch | kDrawCentre;
      m.LeftWidth = m.TopWidth = m.RightWidth = m.BottomWidth = 3;
      masks.push_back(m);
    };
    auto glyph = [&](const char* name) {
      MaskRecord m;
      m.SectionName = name;
      m.PropertyName = "GLYPHMASK";
      m.SourceRect = Rect(30, 0, 45, 4);
      m.ImageCount = 3;
      if (tall_images && std::string(name) == "SCROLLBTNBOTTOM") {
        m.SourceRect = Rect(45, 0, 50, 30);
        m.ImageCount = 1;
      }
      m.ImageType = itisaGlyph;
      masks.push_back(m);
    };
    section("SCROLLBAR1V", kTrack1[0], kTrack1[1]);
    section("SCROLLBAR2V", kTrack2[0], kTrack2[1]);
    section("SCROLLBAR1H", kTone, kTone);
    section("SCROLLBAR2H", kTrack2[0], kTrack2[1]);
    for (const char* name :
         {"SCROLLBTNTOP", "SCROLLBTNBOTTOM", "SCROLLBTNLEFT", "SCROLLBTNRIGHT"}) {
      section(name, 0xFFFFFF, 0xFFFFFF);
      border(name);
      glyph(name);
    }
    for (const char* name : {"SCROLLSLIDERV", "SCROLLSLIDERH"}) {
      section(name, 0xFFFFFF, 0xFFFFFF);
      border(name);
    }
    if (tall_images) {
      MaskRecord m;
      m.SectionName = "SCROLLBTNTOP";
      m.PropertyName = "IMGTOPLEFT";
      m.SourceRect = Rect(45, 0, 50, 30);
      m.ImageCount = 1;
      m.ImageType = itisaGlyph;
      masks.push_back(m);
    }
    model.Assign(std::move(sections), std::move(masks), master, TsSkinData{});
  }

  // A vertical bar of the desktop's width, `length` high, over `back`.
  // (Painted into `bars`, which keeps them for the test.)
  TBitmap& Paint(const TsScrollBarLook& look, int length,
                 TsBackground back = TsBackground::FromColor(0x0A0B0C)) {
    TBitmap& b = *bars.emplace_back(std::make_unique<TBitmap>(width, length));
    FillSolid(PixelsOf(b), Rect(0, 0, width, length), 0xFF00FF);
    EXPECT_TRUE(PaintScrollBar(b, model, look, back));
    return b;
  }
  // The frame colour at the middle of the left border of the part that
  // starts at `top` (rows) and the glyph colour at the part's centre.
  TColor FrameAt(TBitmap& b, int top) { return Px(b, 1, top + 1); }

  TsSkinModel model;
  std::vector<std::unique_ptr<TBitmap>> bars;
  const int width = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  const int arrow = platform::GetSystemMetrics(platform::SM_CXHSCROLL);
};

}  // namespace

TEST(ScrollGeometry, SliderLengthsForKnownRangesAndPages) {
  // page × track ÷ (Max − Min + 1)
  EXPECT_EQ(ScrollSliderLength(Info(0, 99, 10, 0), 200, 17, 8), 20);
  EXPECT_EQ(ScrollSliderLength(Info(0, 9, 3, 0), 101, 17, 8), 30);
  EXPECT_EQ(ScrollSliderLength(Info(10, 109, 25, 10), 200, 17, 8), 50);
  // A page covering the range: as long as the track.
  EXPECT_EQ(ScrollSliderLength(Info(0, 9, 10, 0), 223, 17, 8), 223);
  // A long text keeps a slider one can grab.
  EXPECT_EQ(ScrollSliderLength(Info(0, 9999, 10, 0), 223, 17, 8), 8);
  // No page: the arrow's length.
  EXPECT_EQ(ScrollSliderLength(Info(0, 99, 0, 0), 200, 17, 8), 17);
  // An upside-down range has nothing to divide by.
  EXPECT_EQ(ScrollSliderLength(Info(5, 2, 3, 5), 100, 17, 8), 100);
  EXPECT_EQ(DefaultMinSliderLength(), platform::GetSystemMetrics(platform::SM_CYVTHUMB) / 2);
}

TEST(ScrollGeometry, SliderOffsetsRoundAndStayInTheTrack) {
  // Track 200, slider 20: 180 pixels over 90 positions.
  const TScrollInfo info = Info(0, 99, 10, 0);
  EXPECT_EQ(ScrollSliderOffset(info, 0, 200, 20), 0);
  EXPECT_EQ(ScrollSliderOffset(info, 1, 200, 20), 2);
  EXPECT_EQ(ScrollSliderOffset(info, 45, 200, 20), 90);
  EXPECT_EQ(ScrollSliderOffset(info, 90, 200, 20), 180);
  EXPECT_EQ(ScrollSliderOffset(info, 1000, 200, 20), 180);
  EXPECT_EQ(ScrollSliderOffset(info, -5, 200, 20), 0);
  // 71 pixels over 7 positions: 4 × 71 ÷ 7 = 40.57 rounds up to 41.
  const TScrollInfo small = Info(0, 9, 3, 0);
  EXPECT_EQ(ScrollSliderOffset(small, 1, 101, 30), 10);
  EXPECT_EQ(ScrollSliderOffset(small, 3, 101, 30), 30);
  EXPECT_EQ(ScrollSliderOffset(small, 4, 101, 30), 41);
  EXPECT_EQ(ScrollSliderOffset(small, 7, 101, 30), 71);
  // The range need not start at 0.
  EXPECT_EQ(ScrollSliderOffset(Info(10, 109, 10, 0), 55, 200, 20), 90);
  // The page covers the range: the slider stays at the start.
  EXPECT_EQ(ScrollSliderOffset(Info(0, 9, 10, 0), 0, 223, 223), 0);
  EXPECT_EQ(ScrollSliderOffset(Info(0, 9, 10, 0), 3, 200, 150), 0);
}

TEST(ScrollGeometry, DraggedOffsetsGiveBackTheirPositions) {
  const TScrollInfo info = Info(3, 102, 10, 3);  // positions 3 … 93
  const int track = 223;
  const int slider = ScrollSliderLength(info, track, 17, 8);
  for (int pos = info.Min; pos <= info.MaxPos(); ++pos)
    ASSERT_EQ(ScrollPositionAt(info, ScrollSliderOffset(info, pos, track, slider), track, slider),
              pos)
        << pos;
  EXPECT_EQ(ScrollPositionAt(info, 0, track, slider), 3);
  EXPECT_EQ(ScrollPositionAt(info, track - slider, track, slider), 93);
  EXPECT_EQ(ScrollPositionAt(info, 5000, track, slider), 93);
  EXPECT_EQ(ScrollPositionAt(info, -40, track, slider), 3);
  // Nothing to travel: always the start.
  EXPECT_EQ(ScrollPositionAt(Info(0, 9, 10, 0), 50, 223, 223), 0);
}

TEST(ScrollGeometry, PartsAlongTheBar) {
  // Positions 0 … 90 in a 257-pixel bar: track 223, slider 22 at 44 + 17.
  const TsScrollLayout l = LayoutScrollBar(Info(0, 99, 10, 20), 257, 17, 8, true);
  ASSERT_FALSE(l.too_short);
  EXPECT_EQ(l.track, 223);
  EXPECT_EQ(l.slider, 22);
  EXPECT_EQ(l.offset, 45);  // 20 × 201 ÷ 90 = 44.67
  EXPECT_TRUE(l.slider_shown);
  EXPECT_EQ(l.Split(), 17 + 45 + 11);
  EXPECT_EQ(l.PartAt(-1), spNone);
  EXPECT_EQ(l.PartAt(0), spArrowFirst);
  EXPECT_EQ(l.PartAt(16), spArrowFirst);
  EXPECT_EQ(l.PartAt(17), spPageFirst);
  EXPECT_EQ(l.PartAt(61), spPageFirst);
  EXPECT_EQ(l.PartAt(62), spSlider);
  EXPECT_EQ(l.PartAt(83), spSlider);
  EXPECT_EQ(l.PartAt(84), spPageLast);
  EXPECT_EQ(l.PartAt(239), spPageLast);
  EXPECT_EQ(l.PartAt(240), spArrowLast);
  EXPECT_EQ(l.PartAt(256), spArrowLast);
  EXPECT_EQ(l.PartAt(257), spNone);
  // A dragged slider lies where the pointer put it.
  EXPECT_EQ(LayoutScrollBar(Info(0, 99, 10, 20), 257, 17, 8, true, 100).offset, 100);
  EXPECT_EQ(LayoutScrollBar(Info(0, 99, 10, 20), 257, 17, 8, true, 900).offset, 201);
  // A disabled bar has no slider; its track still splits in the middle.
  const TsScrollLayout off = LayoutScrollBar(Info(0, 9, 10, 0), 257, 17, 8, false);
  EXPECT_FALSE(off.slider_shown);
  EXPECT_EQ(off.Split(), 128);
  // Too short for two arrows: two halves, no slider.
  const TsScrollLayout s = LayoutScrollBar(Info(0, 99, 10, 20), 33, 17, 8, true);
  EXPECT_TRUE(s.too_short);
  EXPECT_FALSE(s.slider_shown);
  EXPECT_EQ(s.PartAt(0), spArrowFirst);
  EXPECT_EQ(s.PartAt(15), spArrowFirst);
  EXPECT_EQ(s.PartAt(16), spArrowLast);
  EXPECT_EQ(s.PartAt(32), spArrowLast);
}

TEST_F(ScrollSkin, EachPartShowsItsStateFrame) {
  // 257 high, positions 0 … 90, slider 22 pixels at row 62.
  TsScrollBarLook look;
  look.info = Info(0, 99, 10, 20);
  const int len = 257;
  const int slider_top = 62;
  const int mid = width / 2;
  auto glyph_at = [&](TBitmap& b, int top) { return Px(b, mid, top + (arrow - 4) / 2 + 1); };

  TBitmap& normal = Paint(look, len);
  EXPECT_EQ(FrameAt(normal, 0), kFrame[0]);
  EXPECT_EQ(glyph_at(normal, 0), kGlyph[0]);
  EXPECT_EQ(FrameAt(normal, len - arrow), kFrame[0]);
  EXPECT_EQ(glyph_at(normal, len - arrow), kGlyph[0]);
  EXPECT_EQ(FrameAt(normal, slider_top), kFrame[0]);
  EXPECT_EQ(Px(normal, mid, 30), kTrack1[0]);
  EXPECT_EQ(Px(normal, mid, 150), kTrack2[0]);

  struct Case {
    TsScrollPart part;
    int top;  // first row of the part
  };
  for (const Case c :
       {Case{spArrowFirst, 0}, Case{spArrowLast, len - arrow}, Case{spSlider, slider_top}}) {
    TsScrollBarLook hot = look;
    hot.hot = c.part;
    TBitmap& h = Paint(hot, len);
    EXPECT_EQ(FrameAt(h, c.top), kFrame[1]) << c.part;
    TsScrollBarLook pressed = look;
    pressed.pressed = c.part;
    TBitmap& p = Paint(pressed, len);
    EXPECT_EQ(FrameAt(p, c.top), kFrame[2]) << c.part;
    if (c.part != spSlider) {
      EXPECT_EQ(glyph_at(h, c.top), kGlyph[1]) << c.part;
      EXPECT_EQ(glyph_at(p, c.top), kGlyph[2]) << c.part;
    }
    // The other parts stay normal.
    for (const Case other :
         {Case{spArrowFirst, 0}, Case{spArrowLast, len - arrow}, Case{spSlider, slider_top}}) {
      if (other.part == c.part) continue;
      EXPECT_EQ(FrameAt(h, other.top), kFrame[0]) << c.part << " " << other.part;
      EXPECT_EQ(FrameAt(p, other.top), kFrame[0]) << c.part << " " << other.part;
    }
  }
  // The page areas have a pressed look only: their sections' hot colours.
  TsScrollBarLook page = look;
  page.pressed = spPageFirst;
  TBitmap& p1 = Paint(page, len);
  EXPECT_EQ(Px(p1, mid, 30), kTrack1[1]);
  EXPECT_EQ(Px(p1, mid, 150), kTrack2[0]);
  page.pressed = spPageLast;
  TBitmap& p2 = Paint(page, len);
  EXPECT_EQ(Px(p2, mid, 30), kTrack1[0]);
  EXPECT_EQ(Px(p2, mid, 150), kTrack2[1]);
  page.pressed = spNone;
  page.hot = spPageLast;
  TBitmap& h2 = Paint(page, len);
  EXPECT_EQ(Px(h2, mid, 150), kTrack2[0]);
  // While another part is pressed the slider shows no hot look.
  TsScrollBarLook both = look;
  both.hot = spSlider;
  both.pressed = spArrowFirst;
  EXPECT_EQ(ScrollPartState(both, spSlider), 0);
  EXPECT_EQ(ScrollPartState(both, spArrowFirst), 2);
}

TEST_F(ScrollSkin, TrackSplitsAtTheSlidersMiddleAndTheGlyphIsCentred) {
  TsScrollBarLook look;
  look.info = Info(0, 99, 10, 20);  // slider rows 62 … 83, middle at 73
  TBitmap& b = Paint(look, 257);
  // Under the slider's border the track no longer shows, so look at the
  // track just outside it.
  EXPECT_EQ(Px(b, 8, 61), kTrack1[0]);
  EXPECT_EQ(Px(b, 8, 84), kTrack2[0]);
  // The first section ends in the slider's middle: a dragged slider that
  // leaves its old place uncovers both sections where they are.
  look.drag_offset = 150;  // slider rows 167 … 188, middle at 178
  TBitmap& d = Paint(look, 257);
  EXPECT_EQ(Px(d, 8, 166), kTrack1[0]);
  EXPECT_EQ(Px(d, 8, 189), kTrack2[0]);
  EXPECT_EQ(Px(d, 8, 70), kTrack1[0]);
  // The 5 × 4 glyph is centred in the 17 × 17 arrow: columns 6 … 10, rows 6 … 9.
  for (int y = 0; y < arrow; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool in_glyph = x >= (width - 5) / 2 && x < (width - 5) / 2 + 5 &&
                            y >= (arrow - 4) / 2 && y < (arrow - 4) / 2 + 4;
      EXPECT_EQ(Px(b, x, y) == kGlyph[0], in_glyph) << x << "," << y;
    }
  }
}

// A bar repainted where its slider moved (or where any clip lets through)
// is painted for that region alone: there it looks as the whole bar does,
// and the parts that paint nothing there are left out.
TEST_F(ScrollSkin, ARegionOfTheBarLooksAsTheWholeBarThereAndSkipsPartsOutsideIt) {
  const int len = 257;
  struct Region {
    TRect rect;
    bool arrows_left_out;
  };
  const std::vector<Region> regions = {
      {Rect(0, 60, width, 86), true},             // the slider moved by two rows
      {Rect(3, 150, 5, 151), true},               // one pixel of the track
      {Rect(0, 0, width, arrow), false},          // the first arrow
      {Rect(0, arrow - 1, width, arrow), false},  // its last row
      {Rect(0, 0, width, len), false},            // the whole bar
      {Rect(0, 0, 0, 0), true},                   // nothing
  };
  const TsBackground back = TsBackground::FromColor(0x0A0B0C);
  auto check = [&](const TsScrollBarLook& look, int length, const char* what) {
    TBitmap& whole = Paint(look, length, back);
    for (const Region& r : regions) {
      const TRect needed = r.rect.Intersect(Rect(0, 0, width, length));
      TBitmap part(width, length);
      FillSolid(PixelsOf(part), Rect(0, 0, width, length), 0x00FFFF);
      ASSERT_TRUE(PaintScrollBar(part, model, look, back, r.rect));
      for (int y = needed.Top; y < needed.Bottom; ++y)
        for (int x = needed.Left; x < needed.Right; ++x)
          ASSERT_EQ(Px(part, x, y), Px(whole, x, y))
              << what << " at " << x << "," << y << " of region from row " << r.rect.Top;
      // The arrows' frames are not there (the track under them may be).
      if (r.arrows_left_out && look.enabled && length > 2 * arrow) {
        EXPECT_NE(Px(part, 1, 1), Px(whole, 1, 1)) << what << " from row " << r.rect.Top;
        EXPECT_NE(Px(part, 1, length - 2), Px(whole, 1, length - 2))
            << what << " from row " << r.rect.Top;
      }
    }
  };
  TsScrollBarLook look;
  look.info = Info(0, 99, 10, 20);  // slider rows 62 … 83
  check(look, len, "normal");
  look.hot = spArrowLast;
  check(look, len, "hot arrow");
  look.hot = spNone;
  look.pressed = spSlider;
  look.drag_offset = 150;
  check(look, len, "dragged slider");
  look = {};
  look.info = Info(0, 99, 10, 20);
  look.enabled = false;
  check(look, len, "disabled");
  look.enabled = true;
  check(look, 20, "two halves");

  // A corner image or a glyph larger than its arrow reaches into the
  // track: a region there is painted with it.
  Build(true);
  look = {};
  look.info = Info(0, 99, 10, 20);
  TBitmap& whole = Paint(look, len, back);
  const int mid = width / 2;
  ASSERT_EQ(Px(whole, 1, arrow + 5), kCorner);
  ASSERT_EQ(Px(whole, mid, len - arrow - 3), kCorner);
  TBitmap part(width, len);
  ASSERT_TRUE(PaintScrollBar(part, model, look, back, Rect(0, arrow + 5, width, arrow + 6)));
  EXPECT_EQ(Px(part, 1, arrow + 5), kCorner);
  EXPECT_EQ(Px(part, 8, arrow + 5), Px(whole, 8, arrow + 5));
  ASSERT_TRUE(
      PaintScrollBar(part, model, look, back, Rect(0, len - arrow - 3, width, len - arrow - 2)));
  EXPECT_EQ(Px(part, mid, len - arrow - 3), kCorner);
}

TEST_F(ScrollSkin, APageCoveringTheRangeGivesASliderAsLongAsTheTrack) {
  TsScrollBarLook look;
  look.info = Info(0, 9, 10, 0);
  TBitmap& b = Paint(look, 257);
  // The slider's frame from the first track row to the last.
  EXPECT_EQ(FrameAt(b, arrow), kFrame[0]);
  for (int y = arrow; y < 257 - arrow; ++y) ASSERT_EQ(Px(b, 1, y), kFrame[0]) << y;
  for (int y = arrow; y < 257 - arrow; ++y)
    ASSERT_NE(Px(b, 8, y), kTrack1[0]) << y;  // no track shows
}

TEST_F(ScrollSkin, ADisabledBarHasNoSliderAndIsBlendedWithWhatLiesBehind) {
  TsScrollBarLook look;
  look.info = Info(0, 9, 10, 0);
  look.enabled = false;
  look.hot = spArrowFirst;  // a disabled bar shows no hot or pressed part
  look.pressed = spArrowLast;
  // Over a plain colour: toned with half of "SCROLLBAR1H"'s colour.
  TBitmap& b = Paint(look, 257);
  auto toned = [](TColor c) { return ColorMix(kTone, c, 128, 256); };
  for (int y = arrow; y < 257 - arrow; ++y) {
    const TColor expected = toned(y < 128 ? kTrack1[0] : kTrack2[0]);
    for (int c = 0; c < 3; ++c)
      ASSERT_NEAR((Px(b, 8, y) >> (8 * c)) & 0xFF, (expected >> (8 * c)) & 0xFF, 1) << y;
  }
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR((FrameAt(b, 0) >> (8 * c)) & 0xFF, (toned(kFrame[0]) >> (8 * c)) & 0xFF, 1);
    EXPECT_NEAR((FrameAt(b, 257 - arrow) >> (8 * c)) & 0xFF, (toned(kFrame[0]) >> (8 * c)) & 0xFF,
                1);
  }

  // Over a bitmap: 0.4 of what the bitmap shows there.
  TBitmap parent(40, 300);
  FillSolid(PixelsOf(parent), Rect(0, 0, 40, 300), 0xF0F0F0);
  TBitmap& on_bitmap = Paint(look, 257, TsBackground::FromBitmap(PixelsOf(parent), 20, 10));
  look.enabled = true;
  look.hot = look.pressed = spNone;
  look.info = Info(0, 9, 10, 0);
  TBitmap& enabled = Paint(look, 257, TsBackground::FromBitmap(PixelsOf(parent), 20, 10));
  const TColor track = Px(on_bitmap, 8, 30);
  EXPECT_EQ(GetRValue(track), (0xF0 * 102 + GetRValue(kTrack1[0]) * 153 + 127) / 256);
  // The enabled bar with this range shows its slider where the disabled one has none.
  EXPECT_NE(Px(enabled, 1, 100), Px(on_bitmap, 1, 100));
}

TEST_F(ScrollSkin, ABarShorterThanTwoArrowsShowsTwoHalvesWithoutSlider) {
  TsScrollBarLook look;
  look.info = Info(0, 99, 10, 50);
  look.hot = spArrowLast;
  TBitmap& b = Paint(look, 25);
  // Top half (rows 0 … 11): the top arrow over the first track section;
  // bottom half (12 … 24): the bottom arrow, hot.
  EXPECT_EQ(Px(b, 1, 1), kFrame[0]);
  EXPECT_EQ(Px(b, 1, 11), kFrame[0]);
  EXPECT_EQ(Px(b, 1, 13), kFrame[1]);
  EXPECT_EQ(Px(b, 1, 23), kFrame[1]);
  // Each half's glyph centred in its half.
  EXPECT_EQ(Px(b, width / 2, (12 - 4) / 2 + 1), kGlyph[0]);
  EXPECT_EQ(Px(b, width / 2, 12 + (13 - 4) / 2 + 1), kGlyph[1]);
  // Nothing of a slider: every row is one of the two arrows' looks.
  for (int y = 0; y < 25; ++y) ASSERT_NE(Px(b, 1, y), kFrame[2]) << y;

  // One pixel: nothing to paint.
  TBitmap tiny(width, 1);
  EXPECT_FALSE(PaintScrollBar(tiny, model, look, TsBackground::FromColor(0)));
}

TEST_F(ScrollSkin, HorizontalBarsUseTheirOwnSectionsAcross) {
  TsScrollBarLook look;
  look.kind = SB_HORZ;
  look.info = Info(0, 99, 10, 0);
  look.pressed = spArrowLast;
  TBitmap b(200, 17);
  ASSERT_TRUE(PaintScrollBar(b, model, look, TsBackground::FromColor(0)));
  EXPECT_EQ(Px(b, 1, 1), kFrame[0]);                // left arrow
  EXPECT_EQ(Px(b, 200 - arrow + 1, 1), kFrame[2]);  // right arrow, pressed
  EXPECT_EQ(Px(b, 150, 8), kTrack2[0]);             // the track after the slider
}

TEST_F(ScrollSkin, ArrowLengthFollowsTheDesktopUnlessTheSkinReservesMore) {
  EXPECT_EQ(ScrollArrowLength(&model, SB_VERT), arrow);
  EXPECT_EQ(ScrollArrowLength(&model, SB_VERT, 9), 9);
  EXPECT_EQ(ScrollArrowLength(nullptr, SB_HORZ), arrow);
  EXPECT_EQ(ScrollBarThickness(SB_VERT), width);
  EXPECT_EQ(ScrollBarThickness(SB_HORZ, 12), 12);
  // "SCROLLBTNLEFT" with ReservedBoolean: at least the button mask's frame.
  std::vector<SectionRecord> sections = model.Sections();
  std::vector<MaskRecord> masks = model.Masks();
  for (SectionRecord& s : sections)
    if (s.SectionName == "SCROLLBTNLEFT") s.ReservedBoolean = true;
  for (MaskRecord& m : masks)
    if (m.PropertyName == "BORDERSMASK" &&
        (m.SectionName == "SCROLLBTNTOP" || m.SectionName == "SCROLLBTNLEFT"))
      m.SourceRect = Rect(0, 0, 75, 22);  // frames of 25 × 22
  std::shared_ptr<TBitmap> master = std::make_shared<TBitmap>(75, 22);
  TsSkinModel reserved;
  reserved.Assign(sections, masks, master, TsSkinData{});
  EXPECT_EQ(ScrollArrowLength(&reserved, SB_VERT), 22);
  EXPECT_EQ(ScrollArrowLength(&reserved, SB_HORZ), 25);
}
