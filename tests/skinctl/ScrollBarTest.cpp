// The skinned scroll bar on a memo under the internal skin, driven with the
// pointer as a user drives it: the skin's track, arrows and slider on the
// screen, the disabled look of a memo with little text, arrows that scroll
// a line and repeat while held, the track that pages toward the pointer,
// the slider that drags the text live, the wheel, and the hot part shared by
// all skinned bars.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QWheelEvent>

#include <memory>
#include <string>

#include "SkinCtlTestUtil.h"
#include "platform/SystemMetrics.h"
#include "skin/sMemo.h"
#include "skin/sScrollBar.h"
#include "support/PaintWatch.h"
#include "toolkit/StdCtrls.h"

using namespace skinctltest;

namespace {

constexpr TColor kSteamTrack = 4276545;  // "SCROLLBAR1V", "SCROLLBAR2V"

class ScrollBar : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    memo = MakeMemo(10);
    form->Show();
    Pump(20);
  }
  void TearDown() override {
    bars.clear();
    SkinFixture::TearDown();
  }
  TMemo* MakeMemo(int left) {
    auto* m = new TMemo(form);
    m->SetParent(form);
    m->SetBounds(left, 10, 140, 150);
    m->SetColor(0x494E49);
    m->SetScrollBars(TScrollStyle::ssVertical);
    bars.push_back(std::make_unique<TsScrollBar>(m, SB_VERT, manager.get()));
    return m;
  }
  TsScrollBar& Bar(std::size_t i = 0) { return *bars.at(i); }
  QScrollBar* QtBar(TMemo* m = nullptr) const {
    return (m ? m : memo)->Editor()->verticalScrollBar();
  }
  int Value() const { return QtBar()->value(); }
  void AddLines(int count) {
    for (int i = 0; i < count; ++i) memo->Lines().Add("line " + std::to_string(i));
    Pump(20);
  }
  int Length() const { return QtBar()->height(); }
  // A point of the bar, `along` pixels from its top, in the middle across.
  QPoint At(int along) const { return {QtBar()->width() / 2, along}; }
  TsScrollLayout Layout() {
    const TScrollInfo info = Bar().Info();
    return LayoutScrollBar(info, Length(), arrow, DefaultMinSliderLength(), Bar().Enabled());
  }
  // The bar rendered anew.
  QImage Shot() { return QtBar()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // The bar as the window shows it, from what was painted so far.
  QImage OnScreen() {
    QWidget* window = QtBar()->window();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    return shown.copy(QRect(QtBar()->mapTo(window, QPoint(0, 0)), QtBar()->size()))
        .convertToFormat(QImage::Format_RGB32);
  }

  TMemo* memo = nullptr;
  std::vector<std::unique_ptr<TsScrollBar>> bars;
  const int arrow = platform::GetSystemMetrics(platform::SM_CXHSCROLL);
};

bool Near(TColor a, TColor b) {
  for (int c = 0; c < 3; ++c) {
    const int d = static_cast<int>((a >> (8 * c)) & 0xFF) - static_cast<int>((b >> (8 * c)) & 0xFF);
    if (d < -1 || d > 1) return false;
  }
  return true;
}

}  // namespace

TEST_F(ScrollBar, ShowsTheSkinsTrackArrowsAndSlider) {
  AddLines(200);
  ASSERT_TRUE(Bar().Attached());
  ASSERT_TRUE(Bar().Enabled());
  // What the screen shows is the bar painted from the skin.
  TBitmap painted;
  ASSERT_TRUE(Bar().PaintTo(painted));
  const QImage shot = Shot();
  ASSERT_EQ(shot.width(), painted.Width());
  ASSERT_EQ(shot.height(), painted.Height());
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      ASSERT_EQ(PixelOf(shot, x, y), PixelOf(painted, x, y)) << x << "," << y;

  const TsScrollLayout l = Layout();
  ASSERT_TRUE(l.slider_shown);
  const int mid = shot.width() / 2;
  // The track in the skin's colour above the slider (which shows the end).
  EXPECT_EQ(PixelOf(shot, mid, arrow + 5), kSteamTrack);
  EXPECT_EQ(PixelOf(shot, mid, l.SliderStart() - 2), kSteamTrack);
  // Arrows and slider are the skin's pieces, not the track.
  EXPECT_NE(PixelOf(shot, 1, 1), kSteamTrack);
  EXPECT_NE(PixelOf(shot, 1, Length() - 2), kSteamTrack);
  EXPECT_NE(PixelOf(shot, 1, l.SliderStart() + l.slider / 2), kSteamTrack);
  // The arrows' glyphs differ: one points up, one down.
  QImage top = shot.copy(0, 0, shot.width(), arrow);
  QImage bottom = shot.copy(0, Length() - arrow, shot.width(), arrow);
  EXPECT_NE(top, bottom);
}

TEST_F(ScrollBar, ALineAddedRepaintsTheSlidersOldAndNewPlacesAndNothingElse) {
  // From a few lines (the bar disabled) to a long text, a line at a time,
  // as a log grows: whatever was repainted, the window shows the bar as a
  // full repaint draws it.
  AddLines(3);
  sxtest::TPaintWatch watch(QtBar());
  int narrowed = 0;
  for (int i = 0; i < 40; ++i) {
    const TsScrollLayout before = Layout();
    watch.Take();
    memo->Lines().Add("Received 56 bytes from 127.0.0.1 in 1 msecs");
    Pump(20);
    const TsScrollLayout after = Layout();
    const QRect painted = watch.Take().boundingRect();
    ASSERT_EQ(OnScreen(), Shot()) << "line " << i;
    if (!before.slider_shown || !after.slider_shown) continue;
    // Once the slider shows, only where it was and where it is.
    if (before.SliderStart() == after.SliderStart() && before.SliderEnd() == after.SliderEnd()) {
      EXPECT_TRUE(painted.isEmpty()) << "line " << i;
      continue;
    }
    ++narrowed;
    EXPECT_GE(painted.top(), std::min(before.SliderStart(), after.SliderStart())) << "line " << i;
    EXPECT_LE(painted.bottom() + 1, std::max(before.SliderEnd(), after.SliderEnd()))
        << "line " << i;
  }
  EXPECT_GT(narrowed, 10);

  // Pressed on the track, the bar is drawn whole again.
  const TsScrollLayout l = Layout();
  QTest::mousePress(QtBar(), Qt::LeftButton, Qt::NoModifier, At(arrow + 1));
  Pump(20);
  EXPECT_EQ(watch.Take().boundingRect(), QtBar()->rect());
  QTest::mouseRelease(QtBar(), Qt::LeftButton, Qt::NoModifier, At(arrow + 1));
  Pump(20);
  EXPECT_LT(Layout().SliderStart(), l.SliderStart());
  EXPECT_EQ(OnScreen(), Shot());
}

TEST_F(ScrollBar, AMemoWithFewerLinesThanFitShowsItsBarDisabledWithoutSlider) {
  AddLines(2);
  EXPECT_FALSE(Bar().Enabled());
  EXPECT_FALSE(Bar().Info().Scrolls());
  const QImage shot = Shot();
  const int mid = shot.width() / 2;
  // The whole track, top arrow to bottom arrow, is the track colour toned
  // with itself: no slider anywhere.
  for (int y = arrow; y < Length() - arrow; ++y)
    ASSERT_TRUE(Near(PixelOf(shot, mid, y), kSteamTrack)) << y;
  // The arrows are blended toward the track colour, and show no hot state.
  TsScrollBarLook look = Bar().Look();
  EXPECT_FALSE(look.enabled);
  look.enabled = true;
  TBitmap normal(shot.width(), shot.height());
  PaintScrollBar(normal, Model(), look, Bar().Background());
  const TColor plain = PixelOf(normal, 1, 1);
  EXPECT_NE(PixelOf(shot, 1, 1), plain);
  EXPECT_TRUE(Near(PixelOf(shot, 1, 1), ColorMix(kSteamTrack, plain, 128, 256)));
  // A press does nothing.
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() - 3));
  EXPECT_EQ(Value(), 0);
  EXPECT_EQ(Bar().PressedPart(), spNone);
}

TEST_F(ScrollBar, AnArrowClickScrollsALineAndHoldingItRepeats) {
  AddLines(200);
  memo->Perform(WM_VSCROLL, SB_TOP);
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() - 3));
  EXPECT_EQ(Value(), 1);
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(3));
  EXPECT_EQ(Value(), 0);

  // Held for 600 ms: one line at once, then one every interval after the
  // first delay.
  QTest::mousePress(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() - 3));
  EXPECT_EQ(Bar().PressedPart(), spArrowLast);
  EXPECT_EQ(Bar().Look().pressed, spArrowLast);
  QTest::qWait(600);
  const int held = Value();
  EXPECT_GE(held, 5);
  EXPECT_LE(
      held,
      1 + (600 - static_cast<int>(kScrollRepeatDelay)) / static_cast<int>(kScrollRepeatInterval) +
          2);
  // Off the arrow the repeat pauses and the arrow looks up again.
  QTest::mouseMove(QtBar(), At(Length() / 2));
  const int paused = Value();
  QTest::qWait(200);
  EXPECT_EQ(Value(), paused);
  EXPECT_EQ(Bar().Look().pressed, spNone);
  // Back on it, it goes on.
  QTest::mouseMove(QtBar(), At(Length() - 3));
  QTest::qWait(150);
  EXPECT_GT(Value(), paused);
  QTest::mouseRelease(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() - 3));
  const int released = Value();
  QTest::qWait(150);
  EXPECT_EQ(Value(), released);
  EXPECT_EQ(Bar().PressedPart(), spNone);
}

TEST_F(ScrollBar, ATrackClickScrollsOnePageAndHoldingPagesTowardThePointer) {
  AddLines(200);
  memo->Perform(WM_VSCROLL, SB_TOP);
  const int page = QtBar()->pageStep();
  ASSERT_GT(page, 2);
  TsScrollLayout l = Layout();
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(l.SliderEnd() + 10));
  EXPECT_EQ(Value(), page);
  l = Layout();
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(l.SliderStart() - 2));
  EXPECT_EQ(Value(), 0);

  // Held in the middle of the track: pages until the slider is under the
  // pointer, then stops.
  const int target = arrow + (Length() - 2 * arrow) / 2;
  QTest::mousePress(QtBar(), Qt::LeftButton, Qt::NoModifier, At(target));
  EXPECT_EQ(Bar().Look().pressed, spPageLast);
  QTest::qWait(900);
  const int reached = Value();
  QTest::qWait(200);
  EXPECT_EQ(Value(), reached);
  QTest::mouseRelease(QtBar(), Qt::LeftButton, Qt::NoModifier, At(target));
  l = Layout();
  EXPECT_GT(reached, page);
  EXPECT_LT(reached, QtBar()->maximum());
  EXPECT_LE(l.SliderStart(), target);
  EXPECT_GT(l.SliderEnd(), target);
}

TEST_F(ScrollBar, DraggingTheSliderToTheBottomShowsTheLastLine) {
  AddLines(200);
  memo->Perform(WM_VSCROLL, SB_TOP);
  TsScrollLayout l = Layout();
  const int grab = l.SliderStart() + l.slider / 2;
  QTest::mousePress(QtBar(), Qt::LeftButton, Qt::NoModifier, At(grab));
  EXPECT_TRUE(Bar().Dragging());
  // The text follows the slider while it moves.
  QTest::mouseMove(QtBar(), At(grab + 30));
  EXPECT_GT(Value(), 0);
  EXPECT_TRUE(QtBar()->isSliderDown());
  EXPECT_EQ(Bar().Look().drag_offset, 30);
  // Past the bar's end, and beside it: the slider stays at the bottom.
  QTest::mouseMove(QtBar(), At(Length() + 40) + QPoint(30, 0));
  EXPECT_EQ(Value(), QtBar()->maximum());
  QTest::mouseRelease(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() + 40) + QPoint(30, 0));
  EXPECT_FALSE(Bar().Dragging());
  EXPECT_FALSE(QtBar()->isSliderDown());
  EXPECT_EQ(Value(), QtBar()->maximum());
  l = Layout();
  EXPECT_EQ(l.SliderEnd(), Length() - arrow);

  // The last line of the log is in view.
  QPlainTextEdit* e = memo->Editor();
  QTextCursor last(e->document()->findBlockByNumber(memo->Lines().Count() - 1));
  ASSERT_EQ(last.block().text(), "line 199");
  const QRect r = e->cursorRect(last);
  EXPECT_GE(r.top(), 0);
  EXPECT_LE(r.bottom(), e->viewport()->height());

  // Dragged back up to the top.
  l = Layout();
  QTest::mousePress(QtBar(), Qt::LeftButton, Qt::NoModifier, At(l.SliderStart() + 2));
  QTest::mouseMove(QtBar(), At(-50));
  QTest::mouseRelease(QtBar(), Qt::LeftButton, Qt::NoModifier, At(-50));
  EXPECT_EQ(Value(), 0);
}

TEST_F(ScrollBar, TheWheelScrollsAsBefore) {
  AddLines(200);
  memo->Perform(WM_VSCROLL, SB_TOP);
  auto wheel = [](QWidget* w, QPoint at, int delta) {
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
  };
  wheel(memo->Editor()->viewport(), QPoint(30, 30), -120);
  EXPECT_EQ(Value(), 3);
  wheel(QtBar(), At(Length() / 2), -120);
  EXPECT_EQ(Value(), 6);
  wheel(QtBar(), At(Length() / 2), 120);
  EXPECT_EQ(Value(), 3);
}

TEST_F(ScrollBar, ThePartUnderThePointerIsHotForAllSkinnedBarsTogether) {
  AddLines(200);
  TMemo* other = MakeMemo(160);
  for (int i = 0; i < 200; ++i) other->Lines().Add("x");
  Pump(20);
  const QImage normal = Shot();
  QTest::mouseMove(QtBar(), At(3));
  EXPECT_EQ(Bar(0).HotPart(), spArrowFirst);
  EXPECT_EQ(ScrollPointer().Window, memo);
  EXPECT_EQ(ScrollPointer().Kind, SB_VERT);
  EXPECT_EQ(ScrollPointer().Part, spArrowFirst);
  // The hot arrow shows the glyph's hot frame.
  const QImage hot = Shot();
  EXPECT_NE(hot.copy(0, 0, hot.width(), arrow), normal.copy(0, 0, hot.width(), arrow));
  EXPECT_EQ(hot.copy(0, arrow, hot.width(), Length() - arrow),
            normal.copy(0, arrow, hot.width(), Length() - arrow));

  // Over the other bar's slider: only that one is hot.
  memo->Perform(WM_VSCROLL, SB_TOP);
  other->Perform(WM_VSCROLL, SB_TOP);
  const TsScrollLayout l = Layout();
  QTest::mouseMove(QtBar(other), At(l.SliderStart() + 2));
  EXPECT_EQ(Bar(1).HotPart(), spSlider);
  EXPECT_EQ(Bar(0).HotPart(), spNone);
  EXPECT_EQ(ScrollPointer().Window, other);
  // Leaving it leaves nothing hot.
  QTest::mouseMove(form->Handle(), QPoint(300, 5));
  Pump(10);
  EXPECT_EQ(Bar(1).HotPart(), spNone);
  EXPECT_EQ(ScrollPointer().Window, nullptr);
}

TEST_F(ScrollBar, FreeingTheSkinnedBarGivesThePlainOneBack) {
  AddLines(200);
  const QImage skinned = Shot();
  QTest::mouseMove(QtBar(), At(3));
  EXPECT_EQ(ScrollPointer().Window, memo);
  bars.clear();
  EXPECT_EQ(ScrollBarHandler(memo, SB_VERT), nullptr);
  EXPECT_EQ(ScrollPointer().Window, nullptr);
  EXPECT_NE(Shot(), skinned);
  // Qt's own bar takes clicks again: its down arrow scrolls a line.
  memo->Perform(WM_VSCROLL, SB_TOP);
  QTest::mouseClick(QtBar(), Qt::LeftButton, Qt::NoModifier, At(Length() - 3));
  EXPECT_EQ(Value(), 1);
}

TEST_F(ScrollBar, NoSkinPaintsTheWindowsColour) {
  AddLines(200);
  manager->SetActive(false);
  TBitmap b;
  EXPECT_FALSE(Bar().PaintTo(b));
  const QImage shot = Shot();
  EXPECT_EQ(PixelOf(shot, 3, Length() / 2), 0x494E49);
}

TEST_F(ScrollBar, ASkinnedMemosBarPaintsFromTheManagerTheMemoUses) {
  auto* log = new TsMemo(form);
  log->SetParent(form);
  log->SetBounds(160, 10, 140, 150);
  log->SkinData()->SetSkinSection("EDIT");
  log->SetScrollBars(TScrollStyle::ssVertical);
  for (int i = 0; i < 100; ++i) log->Lines().Add("line");
  Pump(20);
  ASSERT_NE(log->Frame(), nullptr);
  TsScrollBar* bar = log->Frame()->ScrollBar(SB_VERT);
  ASSERT_NE(bar, nullptr);
  QScrollBar* qt_bar = QtBar(log);
  log->Perform(WM_VSCROLL, SB_BOTTOM);
  Pump(10);
  auto track = [&] {
    return PixelOf(qt_bar->grab().toImage().convertToFormat(QImage::Format_RGB32), 8, arrow + 3);
  };
  EXPECT_EQ(track(), kSteamTrack);
  // Behind the bar: the memo's section colour.
  EXPECT_EQ(bar->Background().color, Section("EDIT").Color);

  // Another manager whose first track section is red.
  TsSkinManager other(nullptr);
  AddSteam(other);
  other.SetCommonSections({"[SCROLLBAR1V]", "COLOR=255", "HOTCOLOR=255"});
  other.SetSkinName(kSteamSkinName);
  log->SkinData()->SetSkinManager(&other);
  Pump(20);
  ASSERT_NE(log->Frame(), nullptr);
  bar = log->Frame()->ScrollBar(SB_VERT);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->SkinManager(), &other);
  EXPECT_EQ(track(), 0x0000FFu);
  log->SkinData()->SetSkinManager(nullptr);
  Pump(20);
  EXPECT_EQ(log->Frame()->ScrollBar(SB_VERT)->SkinManager(), nullptr);
  EXPECT_EQ(track(), kSteamTrack);
}
