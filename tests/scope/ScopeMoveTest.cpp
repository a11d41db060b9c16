// A tick on a shown scope moves the picture on the screen and paints only
// the strip where samples come in; whatever the settings, the screen must
// show what a paint of the whole scope shows.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

#include "ScopeTestUtil.h"
#include "support/PaintWatch.h"
#include "toolkit/Forms.h"

namespace {

class ScopeMove : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientSize(431, 100);
    scope = new TGrScope(form.get());
    scope->SetParent(form.get());
    scope->SetBounds(1, 1, 429, 98);
    scope->SetMaxValue(75);
    scope->SetGridSize(8);
    scope->SetFrequency(5);
    scope->SetBaseOffset(10);
    scope->Channels().Add()->SetStyle(TGraphStyle::gsBar);
    scope->SetOnNeedData(TGrNeedDataEvent(this, &ScopeMove::NeedData));
    form->Show();
    QCoreApplication::processEvents();
    watch = std::make_unique<sxtest::TPaintWatch>(form->Handle());
  }
  void TearDown() override {
    watch.reset();
    form.reset();
  }

  // A sawtooth with steps of every size, crossing the base line; with
  // `threshold`, coloured by it as the main window's feed does.
  void NeedData(TObject*, int, int& value) {
    value = (ticks * 13) % 90 - 5;
    ++ticks;
    if (threshold) scope->Channels()[0]->SetColor(value < *threshold ? clYellow : clRed);
  }

  // The scope's rectangle in the window, where the screen shows it.
  QRect OnWindow() const {
    const TRect nc = form->FrameMargins();
    const QPoint at = form->Handle()->mapTo(form->Handle()->window(),
                                            QPoint(nc.Left + scope->Left(), nc.Top + scope->Top()));
    return {at, QSize(scope->Width(), scope->Height())};
  }
  // The screen's pixels, and the scope's image (which a later paint may show
  // whole), against the scope painted whole.
  ::testing::AssertionResult ShowsTheWholePicture() const {
    QWidget* window = form->Handle()->window();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    const QImage on_screen = shown.copy(OnWindow()).convertToFormat(QImage::Format_RGB32);
    // Taken first: the grab below paints the scope, into its image as well.
    const QImage image = scope->ImageBitmap().Image().convertToFormat(QImage::Format_RGB32);
    const QImage rendered =
        window->grab(OnWindow()).toImage().convertToFormat(QImage::Format_RGB32);
    if (image != rendered) return ::testing::AssertionFailure() << "the image is not the picture";
    if (on_screen == rendered) return ::testing::AssertionSuccess();
    for (int y = 0; y < rendered.height(); ++y)
      for (int x = 0; x < rendered.width(); ++x)
        if (on_screen.pixel(x, y) != rendered.pixel(x, y))
          return ::testing::AssertionFailure() << "first wrong pixel at " << x << "," << y;
    return ::testing::AssertionFailure() << "sizes differ";
  }
  // Ticks `n` times; after each the screen shows the whole picture. Returns
  // how many of them painted no more than the strip at the side where
  // samples come in: twice the 5-pixel step and two more.
  int Tick(int n) {
    constexpr int strip = 12;
    int moved = 0;
    for (int i = 0; i < n; ++i) {
      watch->Take();
      scope->TimerTick(nullptr);
      const QRect painted = watch->Take().boundingRect();
      const QRect r = ToQRect(scope->BoundsRect());
      const bool rtl = scope->Direction() == TScrolldirection::sdRightToLeft;
      const QRect edge = rtl ? QRect(r.right() + 1 - strip, r.top(), strip, r.height())
                             : QRect(r.left(), r.top(), strip, r.height());
      if (!painted.isEmpty() && edge.contains(painted)) ++moved;
      const ::testing::AssertionResult shows = ShowsTheWholePicture();
      EXPECT_TRUE(shows) << "tick " << ticks;
      if (!shows) break;
    }
    return moved;
  }

  std::unique_ptr<TForm> form;
  TGrScope* scope = nullptr;
  std::unique_ptr<sxtest::TPaintWatch> watch;
  int ticks = 0;
  std::optional<int> threshold;
};

TEST_F(ScopeMove, TicksPaintTheNewStripAndTheScreenShowsTheWholePictureEitherWay) {
  // Bars right to left, the application's way: from an empty history until
  // the trace runs off the far side and on.
  EXPECT_EQ(Tick(120), 120);
  // Lines, and left to right, where the first segment rises on the picture.
  scope->Channels()[0]->SetStyle(TGraphStyle::gsLine);
  EXPECT_EQ(Tick(30), 30);
  scope->SetDirection(TScrolldirection::sdLeftToRight);
  EXPECT_EQ(Tick(30), 30);
  scope->Channels()[0]->SetStyle(TGraphStyle::gsBar);
  Tick(1);
  EXPECT_EQ(Tick(30), 30);
  // Two channels, one hidden.
  scope->Channels().Add()->SetColor(clRed);
  scope->Channels()[0]->SetVisible(false);
  Tick(1);
  EXPECT_EQ(Tick(20), 20);
}

TEST_F(ScopeMove, WhatCannotBeMovedIsPaintedWhole) {
  Tick(10);
  // A history cut at its end while the trace still ends on the picture.
  scope->SetBufferSize(20);
  EXPECT_EQ(Tick(30), 20 - 10);
  scope->SetBufferSize(999);
  Tick(100);
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"grid standing still", [&] { scope->SetAnimateGrid(false); }},
      {"a pen two pixels wide", [&] { scope->Channels()[0]->SetWidth(2); }},
      {"grid lines two pixels wide", [&] { scope->SetGridLineWidth(2); }},
      {"a frequency near the width", [&] { scope->SetFrequency(214); }},
      {"a frequency past any width", [&] { scope->SetFrequency(std::numeric_limits<int>::max()); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    change();
    EXPECT_EQ(Tick(3), 0);
    // Undone (each undoing repaints it whole), ticks move it again.
    scope->SetAnimateGrid(true);
    scope->Channels()[0]->SetWidth(1);
    scope->SetGridLineWidth(1);
    scope->SetFrequency(5);
    Tick(1);
    EXPECT_EQ(Tick(2), 2);
  }
}

TEST_F(ScopeMove, ChangesBetweenTicksAreNeverMovedIntoThePicture) {
  Tick(100);
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"colour in OnNeedData", [&] { threshold = 40; }},
      {"a sample dropped", [&] { scope->ClearHistory(); }},
      {"resized", [&] { scope->SetBounds(1, 1, 400, 90); }},
      {"background", [&] { scope->SetColor(clNavy); }},
      {"base line", [&] { scope->SetBaseOffset(50); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    change();
    Tick(12);
  }
  threshold.reset();
  // A grab of the window paints the scope elsewhere: the next tick still
  // moves what the screen shows, and a grab of a history the screen does not
  // show yet is not taken for it.
  form->Handle()->grab();
  EXPECT_EQ(Tick(3), 3);
  scope->ClearHistory();
  form->Handle()->grab();
  Tick(3);
  // Hidden and shown again: the first tick paints it whole.
  form->Handle()->hide();
  scope->TimerTick(nullptr);
  form->Handle()->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(ShowsTheWholePicture());
  Tick(3);
}

}  // namespace
