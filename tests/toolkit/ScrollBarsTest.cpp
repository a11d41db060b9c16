// A window's scroll bar through the toolkit: the information read from Qt's
// bar as TScrollInfo lays it out, the scroll commands, a handler that takes the
// bar's look and pointer over while the wheel keeps scrolling, and the
// auto-repeat timer a held arrow uses.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <vector>

#include "platform/SystemMetrics.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/ScrollBars.h"
#include "toolkit/StdCtrls.h"

namespace {

class ScrollBarsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetClientSize(300, 200);
    memo_ = new TMemo(form_.get());
    memo_->SetParent(form_.get());
    memo_->SetBounds(0, 0, 200, 100);
    memo_->SetScrollBars(TScrollStyle::ssVertical);
    form_->Show();
    Application->ProcessMessages();
  }
  void AddLines(int count) {
    for (int i = 0; i < count; ++i) memo_->Lines().Add("line " + std::to_string(i));
    Application->ProcessMessages();
  }
  QScrollBar* QtBar() const { return memo_->Editor()->verticalScrollBar(); }
  int Value() const { return QtBar()->value(); }

  std::unique_ptr<TForm> form_;
  TMemo* memo_ = nullptr;
};

// Records what the bar hands it and paints the bar one colour.
class TRecordingHandler : public TScrollBarHandler {
 public:
  void PaintBar(HDC dc, TPoint size) override {
    sizes.push_back(size);
    dc->fillRect(0, 0, size.X, size.Y, QColor(0x12, 0x34, 0x56));
  }
  void BarMouse(const TMouseMessage& mouse) override { mice.push_back(mouse); }
  void BarMouseLeave() override { ++leaves; }

  std::vector<TPoint> sizes;
  std::vector<TMouseMessage> mice;
  int leaves = 0;
};

}  // namespace

TEST_F(ScrollBarsTest, InformationIsQtsBarInTheClassicLayout) {
  TScrollInfo info;
  ASSERT_TRUE(GetScrollInfo(memo_, SB_VERT, info));
  // Nothing to scroll: the page covers the whole range.
  EXPECT_FALSE(info.Scrolls());
  EXPECT_EQ(info.Max - info.Min + 1, info.Page);
  EXPECT_TRUE(ScrollBarShown(memo_, SB_VERT));
  EXPECT_FALSE(ScrollBarEnabled(memo_, SB_VERT));
  EXPECT_FALSE(ScrollBarShown(memo_, SB_HORZ));

  AddLines(100);
  ASSERT_TRUE(GetScrollInfo(memo_, SB_VERT, info));
  const QScrollBar* bar = QtBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(info.Min, bar->minimum());
  EXPECT_EQ(info.Page, bar->pageStep());
  // The last page ends at Max; the highest position is Qt's maximum.
  EXPECT_EQ(info.Max, bar->maximum() + bar->pageStep() - 1);
  EXPECT_EQ(info.MaxPos(), bar->maximum());
  // Appending showed the end.
  EXPECT_EQ(info.Pos, bar->maximum());
  EXPECT_EQ(info.TrackPos, info.Pos);
  EXPECT_TRUE(info.Scrolls());
  EXPECT_TRUE(ScrollBarEnabled(memo_, SB_VERT));

  // Inside the 2-pixel frame, as wide as the desktop's bar.
  const int w = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  EXPECT_EQ(ScrollBarRect(memo_, SB_VERT), Rect(200 - 2 - w, 2, 200 - 2, 100 - 2));

  memo_->SetEnabled(false);
  EXPECT_FALSE(ScrollBarEnabled(memo_, SB_VERT));

  // A page of 0 ends the range at the highest position.
  EXPECT_EQ((TScrollInfo{0, 10, 0, 0, 0}).MaxPos(), 10);
  EXPECT_EQ((TScrollInfo{0, 10, 0, 0, 0}).Scrolls(), true);
  EXPECT_EQ((TScrollInfo{5, 5, 0, 5, 5}).Scrolls(), false);
}

TEST_F(ScrollBarsTest, ScrollMessagesMoveQtsBarWithinRange) {
  AddLines(100);
  auto scroll = [this](int code, int pos = 0) {
    memo_->Perform(WM_VSCROLL, static_cast<std::uintptr_t>(code), pos);
  };
  const int page = QtBar()->pageStep();
  const int max = QtBar()->maximum();
  ASSERT_GT(page, 1);
  scroll(SB_TOP);
  EXPECT_EQ(Value(), 0);
  scroll(SB_LINEUP);
  EXPECT_EQ(Value(), 0);
  scroll(SB_LINEDOWN);
  EXPECT_EQ(Value(), 1);
  scroll(SB_PAGEDOWN);
  EXPECT_EQ(Value(), 1 + page);
  scroll(SB_PAGEUP);
  EXPECT_EQ(Value(), 1);
  scroll(SB_BOTTOM);
  EXPECT_EQ(Value(), max);
  scroll(SB_PAGEDOWN);
  EXPECT_EQ(Value(), max);

  // Dragging: the text follows the slider at once; the drop keeps it.
  scroll(SB_THUMBTRACK, 7);
  EXPECT_EQ(Value(), 7);
  EXPECT_TRUE(QtBar()->isSliderDown());
  TScrollInfo info;
  GetScrollInfo(memo_, SB_VERT, info);
  EXPECT_EQ(info.TrackPos, 7);
  scroll(SB_THUMBTRACK, 1 << 20);
  EXPECT_EQ(Value(), max);
  scroll(SB_THUMBPOSITION, 3);
  scroll(SB_ENDSCROLL);
  EXPECT_EQ(Value(), 3);
  EXPECT_FALSE(QtBar()->isSliderDown());
  scroll(SB_THUMBPOSITION, -5);
  EXPECT_EQ(Value(), 0);
}

TEST_F(ScrollBarsTest, HandlerTakesTheLookAndThePointerButNotTheWheel) {
  AddLines(100);
  memo_->Perform(WM_VSCROLL, SB_TOP);
  TRecordingHandler handler;
  ASSERT_TRUE(SetScrollBarHandler(memo_, SB_VERT, &handler));
  EXPECT_EQ(ScrollBarHandler(memo_, SB_VERT), &handler);
  EXPECT_FALSE(SetScrollBarHandler(nullptr, SB_VERT, &handler));

  // The bar on the screen is what the handler paints.
  const TRect r = ScrollBarRect(memo_, SB_VERT);
  const QImage shot = memo_->Handle()->grab().toImage();
  ASSERT_FALSE(handler.sizes.empty());
  EXPECT_EQ(handler.sizes.back().X, r.Width());
  EXPECT_EQ(handler.sizes.back().Y, r.Height());
  EXPECT_EQ(shot.pixelColor(r.Left + 3, r.Top + 30), QColor(0x12, 0x34, 0x56));

  // A press on Qt's down arrow is the handler's, in bar coordinates; Qt
  // does not scroll.
  QScrollBar* bar = QtBar();
  const QPoint down_arrow(r.Width() / 2, r.Height() - 4);
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, down_arrow);
  QTest::mouseMove(bar, QPoint(4, 20));
  QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(4, 20));
  ASSERT_GE(handler.mice.size(), 3u);
  EXPECT_EQ(handler.mice.front().Action, maDown);
  EXPECT_EQ(handler.mice.front().Button, mbLeft);
  EXPECT_EQ(handler.mice.front().Pos, (TPoint{down_arrow.x(), down_arrow.y()}));
  EXPECT_EQ(handler.mice.back().Action, maUp);
  EXPECT_EQ(Value(), 0);

  // The wheel over the text still scrolls, three lines a notch.
  const QPoint inside(50, 40);
  QWheelEvent wheel(inside, memo_->Editor()->viewport()->mapToGlobal(inside), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(memo_->Editor()->viewport(), &wheel);
  EXPECT_EQ(Value(), 3);

  // Given back, the bar is Qt's again: its down arrow scrolls a line.
  ASSERT_TRUE(SetScrollBarHandler(memo_, SB_VERT, nullptr));
  const std::size_t seen = handler.mice.size();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, down_arrow);
  EXPECT_EQ(Value(), 4);
  EXPECT_EQ(handler.mice.size(), seen);
}

TEST(AutoRepeat, FirstDelayThenIntervalUntilStopped) {
  Application->Initialize();
  TAutoRepeat repeat(120, 20);
  QElapsedTimer clock;
  std::vector<qint64> ticks;
  clock.start();
  repeat.Start(TNotifyEvent([&](TObject*) { ticks.push_back(clock.elapsed()); }));
  EXPECT_TRUE(repeat.Active());
  QTest::qWait(80);
  EXPECT_TRUE(ticks.empty());
  QTest::qWait(220);
  ASSERT_GE(ticks.size(), 3u);
  EXPECT_GE(ticks.front(), 115);
  // After the first delay the repeats come at the interval.
  EXPECT_LT(ticks[2] - ticks[1], 100);
  repeat.Stop();
  EXPECT_FALSE(repeat.Active());
  const std::size_t stopped = ticks.size();
  QTest::qWait(80);
  EXPECT_EQ(ticks.size(), stopped);

  // A restart waits the first delay again; an action may stop the repeat.
  ticks.clear();
  clock.restart();
  repeat.Start(TNotifyEvent([&](TObject*) {
    ticks.push_back(clock.elapsed());
    if (ticks.size() == 2) repeat.Stop();
  }));
  QTest::qWait(300);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_GE(ticks.front(), 115);
}

TEST_F(ScrollBarsTest, TextAndBarLieInsideTheFrame) {
  const int w = platform::GetSystemMetrics(platform::SM_CXVSCROLL);
  const QWidget* viewport = memo_->Editor()->viewport();
  EXPECT_EQ(viewport->geometry(), QRect(2, 2, 200 - 4 - w, 100 - 4));
  // The sunken edge shows on every side, the bar's side too.
  const QImage shot = memo_->Handle()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(199, 50), ToQColor(clBtnHighlight));
  EXPECT_EQ(shot.pixelColor(0, 50), ToQColor(clBtnShadow));
  memo_->SetBorderStyle(TBorderStyle::bsNone);
  Application->ProcessMessages();
  EXPECT_EQ(ScrollBarRect(memo_, SB_VERT), Rect(200 - w, 0, 200, 100));
}
