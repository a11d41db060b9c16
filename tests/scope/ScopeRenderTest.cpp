#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "ScopeTestUtil.h"

namespace {

constexpr TColor kGrid = 0x008000;
constexpr TColor kBase = 0x00FF00;

// The main window's scope: 429 x 98, range 0..75, grid 8, frequency 8.
class ScopeRender : public ::testing::Test {
 protected:
  void SetUp() override {
    scope.SetBounds(0, 0, W, H);
    scope.SetMaxValue(75);
    scope.SetGridSize(8);
    scope.SetFrequency(8);
    scope.SetBaseOffset(10);
    scope.SetAnimateGrid(false);
    scope.SetOnNeedData(TGrNeedDataEvent(&feed, &TFeed::NeedData));
  }
  // Makes grid and base line invisible, so only traces are left.
  void HideGrid() {
    scope.SetGridColor(clBlack);
    scope.SetBaseColor(clBlack);
  }
  void Samples(std::initializer_list<int> oldest_first) {
    for (int v : oldest_first) {
      for (int c = 0; c < scope.Channels().Count(); ++c) feed.queue.push_back(v);
      scope.TimerTick(nullptr);
    }
  }
  int Row(int v) const { return H - static_cast<int>(std::nearbyint(H * v / 75.0)) - 1; }
  QImage Picture() {
    PaintScope(scope);
    return scope.ImageBitmap().Image().copy();
  }
  std::set<std::pair<int, int>> Lit(TColor except = clBlack) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (ImagePixel(scope, x, y) != except) out.insert({x, y});
    return out;
  }

  static constexpr int W = 429, H = 98, F = 8;
  TGrScope scope{nullptr};
  TFeed feed;
};

TEST_F(ScopeRender, BaseRowFollowsTheOffsetWithRoundingAndSitsOnTheBaseColour) {
  const std::pair<int, int> cases[] = {{0, 97}, {10, 87}, {70, 28}, {100, -1}, {50, 48}, {25, 73}};
  for (auto [offset, row] : cases) {
    scope.SetBaseOffset(offset);
    PaintScope(scope);
    EXPECT_EQ(scope.BaseRow(), row) << "offset " << offset;
    if (row >= 0) {
      for (int x : {0, 3, 200, W - 1}) EXPECT_EQ(ImagePixel(scope, x, row), kBase) << offset;
    }
  }
}

// With the range 0..4 on 98 rows, 98 x 1 / 4 = 24.5 and 98 x 3 / 4 = 73.5
// fall exactly half-way between two rows; each goes to the even neighbour
// (24 and 74), so the samples land on rows 98 - 24 - 1 = 73 and
// 98 - 74 - 1 = 23. Rounding half up, down or away from zero misses one.
TEST_F(ScopeRender, ASampleHalfWayBetweenTwoRowsLandsOnTheRowOfTheEvenNeighbour) {
  HideGrid();
  scope.SetMaxValue(4);
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  const std::pair<int, int> cases[] = {{1, 73}, {3, 23}};
  for (auto [value, row] : cases) {
    Samples({value});
    PaintScope(scope);
    // The newest step runs along the right edge.
    EXPECT_NE(ImagePixel(scope, W - 2, row), clBlack) << value;
    EXPECT_EQ(ImagePixel(scope, W - 2, row - 1), clBlack) << value;
    EXPECT_EQ(ImagePixel(scope, W - 2, row + 1), clBlack) << value;
  }
}

TEST_F(ScopeRender, ImageHasTheControlsSizeAndABlackBackground) {
  PaintScope(scope);
  EXPECT_EQ(scope.ImageBitmap().Width(), W);
  EXPECT_EQ(scope.ImageBitmap().Height(), H);
  EXPECT_EQ(ImagePixel(scope, 3, 3), clBlack);
  scope.SetColor(clNavy);
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, 3, 3), clNavy);
}

TEST_F(ScopeRender, VerticalGridLinesAtEveryGridSizeFromPhaseZero) {
  scope.SetBaseColor(kGrid);
  PaintScope(scope);
  // Row 85 lies between horizontal lines (base 87, then 79 and 95).
  const int row = 85;
  for (int x = 0; x < W; ++x)
    EXPECT_EQ(ImagePixel(scope, x, row), x % 8 == 0 ? kGrid : clBlack) << "x " << x;
  // Columns 0..424: a line at every x = 8k; the loop's last line, at x = W,
  // would need W to be a multiple of 8 to land.
  scope.SetBounds(0, 0, 432, H);
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, 424, row), kGrid);
  EXPECT_EQ(ImagePixel(scope, 431, row), clBlack);
}

TEST_F(ScopeRender, HorizontalGridIsAnchoredToTheBaseLine) {
  PaintScope(scope);
  std::vector<int> rows;
  for (int y = 0; y < H; ++y)
    if (ImagePixel(scope, 3, y) != clBlack) rows.push_back(y);
  EXPECT_EQ(rows, (std::vector<int>{7, 15, 23, 31, 39, 47, 55, 63, 71, 79, 87, 95}));
  EXPECT_EQ(ImagePixel(scope, 3, 87), kBase);
  EXPECT_EQ(ImagePixel(scope, 3, 79), kGrid);
  // Offset 100: the base line is above the top edge; the grid runs down from it.
  scope.SetBaseOffset(100);
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, 3, 7), kGrid);
  EXPECT_EQ(ImagePixel(scope, 3, 0), clBlack);
}

TEST_F(ScopeRender, GridPhaseShiftsTheVerticalLinesLeft) {
  scope.SetAnimateGrid(true);
  scope.SetFrequency(3);
  scope.TimerTick(nullptr);  // phase 3
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, 5, 85), kGrid);
  EXPECT_EQ(ImagePixel(scope, 0, 85), clBlack);
  EXPECT_EQ(ImagePixel(scope, 13, 85), kGrid);
}

TEST_F(ScopeRender, BarStaircaseNewestAtTheRightEdge) {
  HideGrid();
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  Samples({75, 0, 30});  // newest: 30, then 0, then 75
  const int y0 = Row(30), y1 = Row(0), y2 = Row(75), base = 87;
  ASSERT_EQ(y0, 58);
  ASSERT_EQ(y1, 97);
  ASSERT_EQ(y2, -1);
  PaintScope(scope);
  std::set<std::pair<int, int>> want;
  auto hline = [&](int x_from, int x_to, int y) {  // x_to excluded, leftwards
    for (int x = x_from; x > x_to; --x) want.insert({x, std::max(0, y)});
  };
  auto vline = [&](int x, int y_from, int y_to) {  // y_to excluded
    const int step = y_to > y_from ? 1 : -1;
    for (int y = y_from; y != y_to; y += step)
      if (y >= 0 && y < H) want.insert({x, y});
  };
  hline(W - 1, W - F, y0);         // step 0 (x = W itself is off the image)
  vline(W - F, y0, y1);            // join to step 1
  hline(W - F, W - 2 * F, y1);     // step 1
  vline(W - 2 * F, y1, 0);         // join to step 2 at row 0 (75 drawn on row 0)
  hline(W - 2 * F, W - 3 * F, 0);  // step 2
  vline(W - 3 * F, 0, base);       // back down to the base line
  EXPECT_EQ(Lit(), want);
}

TEST_F(ScopeRender, LinePolylineThroughTheSamplesNewestAtTheRightEdge) {
  HideGrid();
  scope.Channels().Add();
  Samples({30, 30, 30, 60});
  const int y_new = Row(60), y = Row(30);
  PaintScope(scope);
  const TColor c = clYellow;
  // Segment (W, y_new) -> (W-8, y): a vertex pixel at each sample position.
  EXPECT_EQ(ImagePixel(scope, W - F, y), c);
  int lit_in_last_column = 0;
  for (int row = y_new; row <= y; ++row) lit_in_last_column += ImagePixel(scope, W - 1, row) == c;
  EXPECT_GT(lit_in_last_column, 2);
  // Two flat segments at row y from W-8 to W-24.
  for (int x = W - 3 * F + 1; x <= W - F; ++x) EXPECT_EQ(ImagePixel(scope, x, y), c) << x;
  // Then one more segment back to the base line one step further left.
  EXPECT_EQ(ImagePixel(scope, W - 3 * F, y), c);
  EXPECT_EQ(ImagePixel(scope, W - 4 * F, 86), c);  // its end point (W-32, 87) is not painted
  EXPECT_EQ(ImagePixel(scope, W - 4 * F, 87), clBlack);
  // Nothing left of that.
  for (const auto& [px, py] : Lit()) EXPECT_GE(px, W - 4 * F) << px << "," << py;
}

TEST_F(ScopeRender, LeftToRightIsTheMirrorImage) {
  HideGrid();
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  Samples({10, 50, 20, 75, 0, 40});
  const QImage rtl = Picture();
  scope.SetDirection(TScrolldirection::sdLeftToRight);
  const QImage ltr = Picture();
  int lit = 0;
  for (int y = 0; y < H; ++y)
    for (int x = F + 1; x <= W - F - 1; ++x) {
      ASSERT_EQ(ltr.pixel(x, y), rtl.pixel(W - x, y)) << x << "," << y;
      if (ltr.pixel(x, y) != rtl.pixel(0, 0)) ++lit;
    }
  EXPECT_GT(lit, 40);
  // The newest step is at the left edge, the one before next to it.
  EXPECT_EQ(ImagePixel(scope, F / 2, Row(40)), clYellow);
  EXPECT_EQ(ImagePixel(scope, F + 2, Row(0)), clYellow);
}

TEST_F(ScopeRender, EmptyHistoryShowsOnlyGridAndBaseLine) {
  const QImage bare = Picture();
  scope.Channels().Add();
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  EXPECT_EQ(Picture(), bare);
  std::set<TColor> colours;
  for (const auto& [x, y] : Lit()) colours.insert(ImagePixel(scope, x, y));
  EXPECT_EQ(colours, (std::set<TColor>{kGrid, kBase}));
}

TEST_F(ScopeRender, ChannelOneIsDrawnUnderChannelZero) {
  HideGrid();
  scope.Channels().Add()->SetColor(clRed);
  scope.Channels().Add()->SetColor(clBlue);
  Samples({30, 30});
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, W - 4, Row(30)), clRed);
  scope.Channels()[0]->SetVisible(false);
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, W - 4, Row(30)), clBlue);
}

TEST_F(ScopeRender, HiddenChannelDrawsNothingAndShowsItsSamplesWhenShownAgain) {
  const QImage bare = Picture();
  TGrChannel* c = scope.Channels().Add();
  c->SetVisible(false);
  Samples({40, 50});
  EXPECT_EQ(Picture(), bare);
  c->SetVisible(true);
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, W - F, Row(40)), clYellow);
}

TEST_F(ScopeRender, ColourChangeRecoloursTheWholeTrace) {
  HideGrid();
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  Samples({20, 40, 60});
  PaintScope(scope);
  const auto yellow = Lit();
  scope.Channels()[0]->SetColor(clRed);
  PaintScope(scope);
  EXPECT_EQ(Lit(), yellow);
  for (const auto& [x, y] : yellow) ASSERT_EQ(ImagePixel(scope, x, y), clRed);
}

TEST_F(ScopeRender, PaintingChangesNeitherPhaseNorHistory) {
  scope.Channels().Add();
  scope.SetAnimateGrid(true);
  scope.SetFrequency(3);
  Samples({5, 6});
  const std::string history = scope.Channels()[0]->History();
  const int phase = scope.GridPhase();
  PaintScope(scope);
  PaintScope(scope);
  EXPECT_EQ(scope.Channels()[0]->History(), history);
  EXPECT_EQ(scope.GridPhase(), phase);
  EXPECT_FALSE(scope.Painting());
}

TEST_F(ScopeRender, WideValueRangeAndHugeStepsStillPaintSensibly) {
  HideGrid();
  scope.SetMinValue(kGrScopeIntMin);
  scope.SetMaxValue(kGrScopeIntMax);
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  Samples({kGrScopeIntMin, 0, kGrScopeIntMax});
  PaintScope(scope);
  EXPECT_EQ(ImagePixel(scope, W - 4, 0), clYellow);            // MaxValue: row 0
  EXPECT_EQ(ImagePixel(scope, W - 12, H - 49 - 1), clYellow);  // middle: 98 - 49 - 1
  EXPECT_EQ(ImagePixel(scope, W - 20, H - 1), clYellow);       // MinValue: bottom row
  // Grid and steps far larger than the picture end quickly.
  scope.SetGridColor(kGrid);
  scope.SetGridSize(INT_MAX);
  scope.SetFrequency(INT_MAX);
  scope.SetGridLineWidth(3);
  for (auto dir : {TScrolldirection::sdRightToLeft, TScrolldirection::sdLeftToRight}) {
    scope.SetDirection(dir);
    PaintScope(scope);
  }
  SUCCEED();
}

TEST_F(ScopeRender, ZeroSizedScopeGetsAnEmptyImage) {
  scope.Channels().Add();
  Samples({10});
  scope.SetBounds(0, 0, 0, H);
  PaintScope(scope);
  EXPECT_TRUE(scope.ImageBitmap().Empty());
  scope.SetBounds(0, 0, W, 0);
  PaintScope(scope);
  EXPECT_TRUE(scope.ImageBitmap().Empty());
}

TEST_F(ScopeRender, PaintMessageWithoutADeviceContextPaintsNothing) {
  scope.Perform(WM_PAINT, 0);
  EXPECT_TRUE(scope.ImageBitmap().Empty());
}

}  // namespace

namespace {

// Not a check: leaves the main window's scope as a picture to look at.
TEST(ScopePicture, MainWindowSettingsWithABarTrace) {
  TGrScope scope(nullptr);
  scope.SetBounds(0, 0, 429, 98);
  scope.SetMaxValue(75);
  scope.SetGridSize(8);
  scope.SetFrequency(8);
  scope.SetBaseOffset(10);
  scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
  TFeed feed;
  for (int i = 0; i < 40; ++i) feed.queue.push_back((i * 37) % 90 - 5);
  scope.SetOnNeedData(TGrNeedDataEvent(&feed, &TFeed::NeedData));
  for (int i = 0; i < 40; ++i) scope.TimerTick(nullptr);
  scope.Channels()[0]->SetColor(clRed);
  PaintScope(scope);
  const QImage big = scope.ImageBitmap().Image().scaled(429 * 2, 98 * 2);
  EXPECT_TRUE(big.save(SONARIX_BINARY_DIR "/scope-render.png"));
}

}  // namespace
