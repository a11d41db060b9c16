// The scope family on a real (offscreen) window: redraw requests, loading,
// notifications, the transparent mode, the cursor, and the timer's use of
// the application.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QPixmap>
#include <chrono>

#include "ScopeTestUtil.h"
#include "toolkit/Forms.h"
#include "toolkit/SysUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

class TCountingScope : public TGrScope {
 public:
  using TGrScope::TGrScope;
  int paints = 0;
  bool tick_inside_paint = false;

 protected:
  void Paint() override {
    ++paints;
    TGrScope::Paint();
  }
  // Runs inside the scope's paint routine.
  void PaintBackground() override {
    TGrScope::PaintBackground();
    if (tick_inside_paint) {
      tick_inside_paint = false;
      TimerTick(nullptr);
    }
  }
};

class ScopeOnWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(431, 100);
    scope = new TCountingScope(form.get());
    scope->SetParent(form.get());
    scope->SetBounds(1, 1, 429, 98);
    scope->SetMaxValue(75);
    scope->SetGridSize(8);
    scope->SetFrequency(8);
    scope->SetBaseOffset(10);
    scope->Channels().Add()->SetStyle(TGraphStyle::gsBar);
    scope->SetOnNeedData(TGrNeedDataEvent(&feed, &TFeed::NeedData));
    form->Show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    Application->OnException = nullptr;
    form.reset();
  }
  std::unique_ptr<TForm> form;
  TCountingScope* scope = nullptr;
  TFeed feed;
};

TEST_F(ScopeOnWindow, RedrawRequestsPaintAtOnceAndEqualWritesDoNothing) {
  ASSERT_GT(scope->paints, 0);
  int before = scope->paints;
  scope->SetGridColor(clRed);
  EXPECT_EQ(scope->paints, before + 1);
  EXPECT_EQ(ImagePixel(*scope, 0, 40), clRed);
  scope->SetGridColor(clRed);
  scope->SetGridSize(8);
  scope->SetFrequency(8);
  scope->SetBaseOffset(10);
  scope->SetMaxValue(75);
  scope->SetMaxValue(0);  // not above MinValue
  scope->SetBufferSize(50);
  scope->SetAnimateGrid(false);
  scope->SetOnNeedData(TGrNeedDataEvent(&feed, &TFeed::NeedData));
  scope->Channels()[0]->SetColor(clYellow);
  EXPECT_EQ(scope->paints, before + 1);
  before = scope->paints;
  for (const auto& write : std::initializer_list<std::function<void()>>{
           [&] { scope->SetGridLineWidth(2); }, [&] { scope->SetBaseColor(clWhite); },
           [&] { scope->SetDirection(TScrolldirection::sdLeftToRight); },
           [&] { scope->SetMinValue(-5); }, [&] { scope->SetMaxValue(80); },
           [&] { scope->Channels()[0]->SetWidth(2); },
           [&] { scope->Channels()[0]->SetVisible(false); }}) {
    write();
    EXPECT_EQ(scope->paints, ++before);
  }
}

TEST_F(ScopeOnWindow, AssignmentsRedrawOnce) {
  TGrScope source(nullptr);
  source.Channels().Add()->SetColor(clRed);
  source.Channels().Add()->SetWidth(3);
  int before = scope->paints;
  scope->SetChannels(source.Channels());
  EXPECT_EQ(scope->paints, before + 1);
  before = scope->paints;
  scope->Channels()[0]->Assign(source.Channels()[1]);
  EXPECT_EQ(scope->paints, before + 1);
}

TEST_F(ScopeOnWindow, NothingIsPaintedWhileTheSettingsAreLoading) {
  form->BeginLoading();
  const int before = scope->paints;
  scope->SetGridColor(clRed);
  scope->SetMaxValue(50);
  scope->Channels()[0]->SetColor(clRed);
  scope->TimerTick(nullptr);
  EXPECT_EQ(scope->paints, before);
  form->EndLoading();
}

TEST_F(ScopeOnWindow, ColourChangeInsideOnNeedDataRedrawsAtOnceWithTheOldSamples) {
  for (int v : {30, 30, 30}) {
    feed.queue.push_back(v);
    scope->TimerTick(nullptr);
  }
  const int row = 98 - 39 - 1;  // 30 of 75 on 98 rows
  ASSERT_EQ(ImagePixel(*scope, 429 - 4, row), clYellow);
  int paints_in_handler = -1;
  TColor pixel_in_handler = clBlack;
  const int before = scope->paints;
  scope->SetOnNeedData(TGrNeedDataEvent([&](TObject*, int, int& v) {
    scope->Channels()[0]->SetColor(clRed);
    paints_in_handler = scope->paints;
    pixel_in_handler = ImagePixel(*scope, 429 - 4, row);
    v = 60;
  }));
  scope->TimerTick(nullptr);
  EXPECT_EQ(paints_in_handler, before + 1);
  EXPECT_EQ(pixel_in_handler, clRed);  // the old trace, already red
  EXPECT_EQ(scope->paints, before + 2);
  EXPECT_EQ(ImagePixel(*scope, 429 - 4, 98 - 78 - 1), clRed);  // the new sample
  EXPECT_EQ(ImagePixel(*scope, 429 - 12, row), clRed);
}

TEST_F(ScopeOnWindow, ATickWhilePaintingStoresItsSampleWithoutANestedRepaint) {
  scope->tick_inside_paint = true;
  const int before = scope->paints;
  scope->Repaint();
  EXPECT_EQ(scope->paints, before + 1);
  EXPECT_EQ(scope->Channels()[0]->History().size(), 10u);
  EXPECT_FALSE(scope->Painting());
}

TEST_F(ScopeOnWindow, TheWindowShowsTheImageAndLeavesTheOpaqueScopeOutOfItsOwnPaint) {
  form->SetColor(clWhite);
  const QImage shot = form->Handle()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(255, 255, 255));   // form around the scope
  EXPECT_EQ(shot.pixelColor(5, 1 + 85), QColor(0, 0, 0));    // scope background
  EXPECT_EQ(shot.pixelColor(5, 1 + 87), QColor(0, 255, 0));  // base line
  EXPECT_EQ(shot.pixelColor(1, 1 + 85), QColor(0, 128, 0));  // grid line at x = 0
}

TEST_F(ScopeOnWindow, NotificationsReachTheirHooks) {
  std::vector<std::string> seen;
  scope->OnMouseEnter =
      TNotifyEvent([&](TObject* s) { seen.push_back(s == scope ? "enter" : "?"); });
  scope->OnMouseLeave = TNotifyEvent([&](TObject*) { seen.push_back("leave"); });
  scope->OnFontChanged = TNotifyEvent([&](TObject*) { seen.push_back("font"); });
  scope->OnTextChanged = TNotifyEvent([&](TObject*) { seen.push_back("text"); });
  scope->Perform(CM_MOUSEENTER);
  scope->Perform(CM_MOUSELEAVE);
  scope->Perform(CM_FONTCHANGED);
  scope->Perform(CM_TEXTCHANGED);
  EXPECT_EQ(seen, (std::vector<std::string>{"enter", "leave", "font", "text"}));
}

TEST_F(ScopeOnWindow, RefreshBoundsRepaintsWhenTheRectangleStaysTheSame) {
  const int before = scope->paints;
  scope->RefreshBounds();
  EXPECT_EQ(scope->paints, before + 1);
  scope->RefreshAutoSize();  // AutoSize off: a plain redraw request
  EXPECT_EQ(scope->paints, before + 2);
}

TEST(GrTransparent, ImageStartsFromWhatLiesBeneathAndTheOwnRepaintReusesIt) {
  Application->Initialize();
  TGrScope scope(nullptr);
  scope.SetBounds(0, 0, 40, 30);
  scope.SetGridColor(clBlack);
  scope.SetBaseColor(clBlack);
  scope.SetTransparent(true);
  QImage surface(60, 50, QImage::Format_RGB32);
  surface.fill(QColor(10, 20, 30));
  for (int x = 0; x < 60; ++x) surface.setPixelColor(x, 12, QColor(200, 100, 50));
  {
    QPainter painter(&surface);
    painter.translate(5, 2);  // the scope sits at (5, 2) on its parent
    scope.Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(&painter));
  }
  EXPECT_EQ(ImagePixel(scope, 3, 3), RGB(10, 20, 30));
  EXPECT_EQ(ImagePixel(scope, 3, 10), RGB(200, 100, 50));  // row 12 of the parent
  EXPECT_TRUE(scope.RecaptureBackground());
  EXPECT_FALSE(scope.ControlStyle() & csOpaque);
  scope.UpdateControl();
  EXPECT_FALSE(scope.RecaptureBackground());
  EXPECT_TRUE(scope.ControlStyle() & csOpaque);
}

TEST(GrCursor, HandIsRegisteredAsCursor99WithItsHotSpot) {
  Application->Initialize();
  TGrScope scope(nullptr);  // the family registers it before any control exists
  const QCursor hand = Screen->Cursors(crGrHandPoint);
  EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
  EXPECT_EQ(hand.hotSpot(), QPoint(10, 5));
  EXPECT_EQ(hand.pixmap().size(), QSize(32, 32));
}

// ---- the timer and the application ----

template <class Pred>
bool PumpUntil(Pred pred, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!pred() && Clock::now() < end) Application->ProcessMessages(), CheckSynchronize(2);
  return pred();
}

TEST(GrTimerApplication, AnExceptionInOnTimerReachesTheApplicationAndTheNextTickRuns) {
  Application->Initialize();
  std::vector<std::string> reported;
  Application->OnException =
      TExceptionEvent([&](TObject*, const std::exception& e) { reported.push_back(e.what()); });
  int ticks = 0;
  TGrTimer t(nullptr);
  t.SetEnabled(false);
  t.SetInterval(15);
  t.SetOnTimer(TNotifyEvent([&](TObject*) {
    if (++ticks == 1) throw Exception("tick failed");
  }));
  t.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 3000));
  EXPECT_EQ(reported, (std::vector<std::string>{"tick failed"}));
  Application->OnException = nullptr;
}

TEST(GrTimerApplication, ScopeTickFailingInOnNeedDataIsReportedAndSamplingGoesOn) {
  Application->Initialize();
  std::vector<std::string> reported;
  Application->OnException =
      TExceptionEvent([&](TObject*, const std::exception& e) { reported.push_back(e.what()); });
  TGrScope scope(nullptr);
  scope.Channels().Add();
  int calls = 0;
  scope.SetOnNeedData(TGrNeedDataEvent([&](TObject*, int, int& v) {
    if (++calls == 2) throw Exception("no reply yet");
    v = calls;
  }));
  scope.SetInterval(10);
  scope.SetActive(true);
  EXPECT_TRUE(PumpUntil([&] { return calls >= 4; }, 3000));
  scope.SetActive(false);
  EXPECT_EQ(reported, (std::vector<std::string>{"no reply yet"}));
  std::vector<int> stored;
  for (std::string_view h = scope.Channels()[0]->History(); !h.empty();)
    stored.push_back(PopGrRecord(h));
  ASSERT_GE(stored.size(), 3u);
  EXPECT_EQ(std::vector<int>(stored.end() - 3, stored.end()), (std::vector<int>{4, 3, 1}));
  Application->OnException = nullptr;
}

TEST(GrTimerApplication, NoTicksOnceTheApplicationIsShuttingDown) {
  Application->Initialize();
  int ticks = 0;
  TGrTimer t(nullptr);
  t.SetEnabled(false);
  t.SetInterval(10);
  t.SetOnTimer(TNotifyEvent([&](TObject*) { ++ticks; }));
  t.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }, 3000));
  Application->Terminate();
  PumpUntil([] { return false; }, 30);  // a tick already handed over may still run
  const int settled = ticks;
  const std::uint64_t worker = t.TimerThread()->TickCount();
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(ticks, settled);
  EXPECT_EQ(t.TimerThread()->TickCount(), worker);  // it keeps waiting, ticking nothing
  Application->Initialize();                        // the rest of the suite runs on
}

}  // namespace
