// Fades between a control's states: the old look kept, the cache rebuilt
// for the new state, each step blended with the old look's weight
// 255 − level × 256 ÷ iterations; HaltFade; short fades; a disabled control
// stopping its fade; the 10 ms timer on the GUI thread.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEvent>

#include "SkinCtlTestUtil.h"
#include "skin/sBitBtn.h"
#include "skin/sFadeAnimation.h"
#include "skin/sPanel.h"
#include "toolkit/StdCtrls.h"

using namespace skinctltest;

namespace {

class Fade : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    AddFocusHolder(form);
    panel = AddPanel(form, form, "PANEL", Bounds(0, 0, 300, 80));
    button = AddButton(form, panel, 7, "Ping !");
    form->Show();
    Pump(30);
    data = button->SkinData();
    ASSERT_EQ(data->CacheState(), 0);
    ASSERT_FALSE(data->BGChanged());
  }
  // Each channel of `frame` is the blend of the old and the new look.
  static void ExpectSame(const TBitmap& a, const TBitmap& b) {
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        ASSERT_EQ(LoadPixel(SourcePixelsOf(a).At(x, y)), LoadPixel(SourcePixelsOf(b).At(x, y)))
            << x << "," << y;
  }
  static void ExpectBlend(const TBitmap& frame, const TBitmap& old_look, const TBitmap& new_look,
                          int weight) {
    for (int y = 0; y < frame.Height(); y += 2) {
      for (int x = 0; x < frame.Width(); x += 2) {
        const TColor f = LoadPixel(SourcePixelsOf(frame).At(x, y));
        const TColor o = LoadPixel(SourcePixelsOf(old_look).At(x, y));
        const TColor n = LoadPixel(SourcePixelsOf(new_look).At(x, y));
        ASSERT_EQ(f, RGB(TransparencyBlend(GetRValue(o), GetRValue(n), weight),
                         TransparencyBlend(GetGValue(o), GetGValue(n), weight),
                         TransparencyBlend(GetBValue(o), GetBValue(n), weight)))
            << "weight " << weight << " at " << x << "," << y;
      }
    }
  }

  TsPanel* panel = nullptr;
  TsBitBtn* button = nullptr;
  TsCommonData* data = nullptr;
};

}  // namespace

TEST(FadeAnimation, OldLookWeightFallsToZeroAtTheLastStep) {
  EXPECT_EQ(TsFadeAnimation::OldWeight(0, 20), 255);
  EXPECT_EQ(TsFadeAnimation::OldWeight(1, 20), 243);
  EXPECT_EQ(TsFadeAnimation::OldWeight(10, 20), 127);
  EXPECT_EQ(TsFadeAnimation::OldWeight(19, 20), 12);
  // 255 − 256 would be −1: the last step is the new look, not beyond it.
  EXPECT_EQ(TsFadeAnimation::OldWeight(20, 20), 0);
  EXPECT_EQ(TsFadeAnimation::OldWeight(5, 10), 127);
  EXPECT_EQ(TsFadeAnimation::OldWeight(1, 0), 0);
}

TEST_F(Fade, HoverFadesFromNormalToTheHotLookInTwentySteps) {
  TBitmap normal;
  normal.Assign(data->CacheBmp());
  button->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(data->Fading());
  ASSERT_EQ(data->Fade()->Iterations(), 20);
  // The cache holds the hot look already; the screen still shows the old.
  EXPECT_EQ(data->CacheState(), 1);
  TBitmap hot;
  hot.Assign(data->CacheBmp());
  // The first step came with the pointer's event.
  ExpectSame(data->Fade()->OldLook(), normal);
  ExpectBlend(data->DisplayBitmap(), normal, hot, TsFadeAnimation::OldWeight(1, 20));
  for (int level = 2; level <= 20; ++level) {
    data->FadeStep();
    ASSERT_TRUE(data->Fading());
    ExpectBlend(data->DisplayBitmap(), normal, hot, TsFadeAnimation::OldWeight(level, 20));
  }
  data->FadeStep();  // past the step count: the control gets HaltFade
  EXPECT_FALSE(data->Fading());
  EXPECT_EQ(&data->DisplayBitmap(), &data->CacheBmp());
  // The screen shows the hot look exactly.
  Pump(20);
  const QImage shot = Grab(button);
  for (int y = 0; y < 52; y += 3)
    for (int x = 0; x < 65; x += 3) ASSERT_EQ(PixelOf(shot, x, y), PixelOf(hot, x, y));
}

TEST_F(Fade, TheFirstStepIsPaintedWithThePointerEvent) {
  // Counts the button's paints; none may wait for the event loop.
  struct TPaints : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++count;
      return false;
    }
  } paints;
  button->Handle()->installEventFilter(&paints);
  button->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(data->Fading());
  EXPECT_EQ(data->Fade()->Level(), 2);
  EXPECT_GE(paints.count, 1);
  const int painted = paints.count;
  button->Perform(CM_MOUSELEAVE);
  EXPECT_GT(paints.count, painted);
  button->Handle()->removeEventFilter(&paints);
}

TEST_F(Fade, TheTimerRunsTheFadeToItsEndAndBack) {
  QElapsedTimer t;
  t.start();
  button->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(data->Fading());
  EXPECT_TRUE(Pump(3000, [&] { return !data->Fading(); }));
  EXPECT_GE(t.elapsed(), 20 * 10);
  EXPECT_EQ(data->CacheState(), 1);
  button->Perform(CM_MOUSELEAVE);
  ASSERT_TRUE(data->Fading());
  EXPECT_TRUE(Pump(3000, [&] { return !data->Fading(); }));
  EXPECT_EQ(data->CacheState(), 0);
}

TEST_F(Fade, HaltFadeStopsAtTheNewLook) {
  button->Perform(CM_MOUSEENTER);
  data->FadeStep();
  data->FadeStep();
  ASSERT_TRUE(data->Fading());
  SkinCommand(button, TsCommand::HaltFade, reinterpret_cast<std::intptr_t>(manager.get()));
  EXPECT_FALSE(data->Fading());
  EXPECT_EQ(data->CacheState(), 1);
  EXPECT_EQ(&data->DisplayBitmap(), &data->CacheBmp());
  // The manager's refresh halts every fade.
  button->Perform(CM_MOUSELEAVE);
  ASSERT_TRUE(data->Fading());
  manager->RepaintForms();
  EXPECT_FALSE(data->Fading());
}

TEST_F(Fade, PressAndReleaseFadeInHalfTheSteps) {
  button->Perform(CM_MOUSEENTER);
  SkinCommand(button, TsCommand::HaltFade);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 10));
  ASSERT_TRUE(data->Fading());
  EXPECT_EQ(data->Fade()->Iterations(), 10);
  EXPECT_EQ(data->CacheState(), 2);
  // A new state during a fade starts from what is shown now.
  data->FadeStep();
  TBitmap shown;
  shown.Assign(data->DisplayBitmap());
  button->Perform(WM_LBUTTONUP, 0, MakeLParam(10, 10));
  ASSERT_TRUE(data->Fading());
  EXPECT_EQ(data->Fade()->Iterations(), 10);
  EXPECT_EQ(data->CacheState(), 1);
  ExpectSame(data->Fade()->OldLook(), shown);
}

TEST_F(Fade, DisablingMidFadeStopsItAndShowsTheDisabledLook) {
  button->Perform(CM_MOUSEENTER);
  data->FadeStep();
  ASSERT_TRUE(data->Fading());
  button->SetEnabled(false);
  data->FadeStep();
  EXPECT_FALSE(data->Fading());
  EXPECT_TRUE(data->BGChanged());
  Pump(20);
  EXPECT_EQ(data->CacheState(), 0);
  const QImage shot = Grab(button);
  for (int y = 0; y < 52; y += 5)
    for (int x = 0; x < 65; x += 5) ASSERT_EQ(PixelOf(shot, x, y), PixelOf(data->CacheBmp(), x, y));
  // A disabled control starts no fade.
  button->SetDown(true);
  EXPECT_FALSE(data->Fading());
}

TEST_F(Fade, NoFadeWithoutACurrentCacheOrWhileASkinLoads) {
  // Stale cache: the state change only repaints.
  data->MarkBackDirty();
  button->Perform(CM_MOUSEENTER);
  EXPECT_FALSE(data->Fading());
  Pump(20);
  EXPECT_EQ(data->CacheState(), 1);
  // A section without fading never fades.
  button->Perform(CM_MOUSELEAVE);
  Pump(20);
  button->SkinData()->SetSkinSection("FOCUSBUTTON");
  Pump(20);
  button->Perform(CM_MOUSEENTER);
  EXPECT_FALSE(data->Fading());
  // A section of 4 steps takes 4.
  button->SkinData()->SetSkinSection("FADER");
  button->Perform(CM_MOUSELEAVE);
  Pump(20);
  button->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(data->Fading());
  EXPECT_EQ(data->Fade()->Iterations(), 4);
}
