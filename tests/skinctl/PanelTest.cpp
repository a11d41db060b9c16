// The skinned panel on the screen: its cache is the item painter's look,
// copied to the window with opaque children left out and windowless
// children painted over it; the skin's removal gives the plain panel back.
#include <gtest/gtest.h>

#include "SkinCtlTestUtil.h"
#include "skin/SkinPainter.h"
#include "skin/sPanel.h"
#include "toolkit/StdCtrls.h"

using namespace skinctltest;

namespace {

// A windowless child that covers its rectangle in one colour.
class TBlock : public TGraphicControl {
 public:
  explicit TBlock(TComponent* owner) : TGraphicControl(owner) {
    SetControlStyle(ControlStyle() | csOpaque);
  }
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    Canvas().Brush().SetColor(0x0000FF);
    Canvas().FillRect(ClientRect());
  }
};

class Panel : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    panel = new TsPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 200, 120);
    panel->SkinData()->SetSkinSection("PANEL");
    form->Show();
    Pump(20);
  }
  TsPanel* panel = nullptr;
};

}  // namespace

TEST_F(Panel, CacheIsTheItemPainterLookWithoutCentre) {
  const QImage shot = Grab(panel);
  TBitmap& cache = panel->SkinData()->CacheBmp();
  ASSERT_EQ(cache.Width(), 200);
  ASSERT_EQ(cache.Height(), 120);
  EXPECT_FALSE(panel->SkinData()->BGChanged());
  // The same look painted directly, over the form's colour.
  TBitmap expected(200, 120);
  TsSectionRequest r;
  r.section = manager->SectionIndex("PANEL");
  PaintSkinItem(expected, Rect(0, 0, 200, 120), Model(), r, false,
                TsBackground::FromColor(0x405060));
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 200; ++x) {
      ASSERT_EQ(PixelOf(cache, x, y), PixelOf(expected, x, y)) << x << "," << y;
      ASSERT_EQ(PixelOf(shot, x, y), PixelOf(cache, x, y)) << x << "," << y;
    }
  }
  // Inside the 7-pixel border: the solid band, then the shading.
  EXPECT_EQ(PixelOf(cache, 100, 7), 0x656A68);
  EXPECT_EQ(PixelOf(cache, 100, 78), 0x656A68);
  EXPECT_LT(GetBValue(PixelOf(cache, 100, 112)), GetBValue(0x656A68));
  EXPECT_GE(GetBValue(PixelOf(cache, 100, 112)), GetBValue(0x585A5D));
}

TEST_F(Panel, OpaqueChildrenAreLeftOutAndWindowlessChildrenPaintOnTop) {
  auto* block = new TBlock(form);
  block->SetParent(panel);
  block->SetBounds(20, 20, 30, 30);
  auto* label = new TLabel(form);
  label->SetParent(panel);
  label->SetTransparent(true);
  label->SetCaption("WWW");
  label->SetBounds(80, 40, 40, 16);
  label->Font().SetColor(0xFFFFFF);
  panel->Invalidate();
  Pump(20);
  const QImage shot = Grab(panel);
  TBitmap& cache = panel->SkinData()->CacheBmp();
  EXPECT_GT(block->paints, 0);
  EXPECT_EQ(PixelOf(shot, 35, 35), 0x0000FF);
  // The transparent label shows the cache around its text, and its text.
  int text = 0, cache_pixels = 0;
  for (int y = 40; y < 56; ++y) {
    for (int x = 80; x < 120; ++x) {
      const TColor c = PixelOf(shot, x, y);
      text += GetRValue(c) > 0xC0 && GetGValue(c) > 0xC0;
      cache_pixels += c == PixelOf(cache, x, y);
    }
  }
  EXPECT_GT(text, 10);
  EXPECT_GT(cache_pixels, 300);
  EXPECT_EQ(PixelOf(shot, 150, 30), PixelOf(cache, 150, 30));
}

TEST_F(Panel, DropSkinGivesThePlainPanelBackAndRepaintSkinTheSkin) {
  const TColor face = ColorToRGB(clBtnFace);
  EXPECT_EQ(PixelOf(Grab(panel), 100, 20), 0x656A68);
  manager->SetActive(false);
  Pump(20);
  EXPECT_FALSE(panel->SkinData()->Skinned());
  EXPECT_TRUE(panel->SkinData()->UpdatingFlag());
  EXPECT_TRUE(panel->SkinData()->CacheBmp().Empty());
  EXPECT_EQ(PixelOf(Grab(panel), 100, 20), face);
  manager->SetActive(true);
  Pump(20);
  EXPECT_TRUE(panel->SkinData()->Skinned());
  EXPECT_FALSE(panel->SkinData()->UpdatingFlag());
  EXPECT_EQ(PixelOf(Grab(panel), 100, 20), 0x656A68);
  // A section the skin lacks gives the plain look too.
  panel->SkinData()->SetSkinSection("NOT IN THE SKIN");
  Pump(20);
  EXPECT_EQ(PixelOf(Grab(panel), 100, 20), face);
  panel->SkinData()->SetSkinSection("PANEL");
  Pump(20);
  EXPECT_EQ(PixelOf(Grab(panel), 100, 20), 0x656A68);
}

TEST_F(Panel, ChildPanelShowsItsParentsCacheBehindIt) {
  auto* clear = new TsPanel(form);
  clear->SetParent(panel);
  clear->SetBounds(30, 50, 60, 40);
  clear->SkinData()->SetSkinSection("CLEAR");
  panel->Invalidate();
  Pump(20);
  const QImage parent = Grab(panel);
  const QImage child = Grab(clear);
  for (int y = 0; y < 40; y += 3)
    for (int x = 0; x < 60; x += 3)
      ASSERT_EQ(PixelOf(child, x, y), PixelOf(parent, 30 + x, 50 + y)) << x << "," << y;
  // An opaque plain section keeps no cache and paints its colour.
  clear->SkinData()->SetSkinSection("FLAT");
  Pump(20);
  EXPECT_TRUE(clear->SkinData()->PlainColor());
  EXPECT_TRUE(clear->SkinData()->CacheBmp().Empty());
  EXPECT_EQ(PixelOf(Grab(clear), 30, 20), 0x112233);
}
