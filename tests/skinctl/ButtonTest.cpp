// The skinned bit button: its state from the pointer, the keyboard, the
// focus, Default and Down; the look of each state (the frame of the border
// mask, the caption's colour and place); the focus rectangle rule; the
// disabled look.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "SkinCtlTestUtil.h"
#include "skin/SkinPainter.h"
#include "skin/sBitBtn.h"
#include "skin/sPanel.h"
#include "toolkit/StdCtrls.h"

using namespace skinctltest;

namespace {

class Button : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    TEdit* first = AddFocusHolder(form);
    panel = AddPanel(form, form, "PANEL", Bounds(0, 0, 300, 80));
    button = MakeButton(7, "Ping !", "BUTTON");
    other = MakeButton(100, "Cancel", "BUTTON");
    form->Show();
    Pump(20);
    ASSERT_FALSE(panel->SkinData()->BGChanged());
    ASSERT_TRUE(first->Focused());
  }
  TsBitBtn* MakeButton(int left, const char* caption, const char* section) {
    return AddButton(form, panel, left, caption, section);
  }
  // The button's cache for its state now, rebuilt.
  TBitmap& Cache(TsBitBtn* b) {
    b->SkinData()->HaltFade();
    b->PrepareCache();
    return b->SkinData()->CacheBmp();
  }
  TColor Master(int x, int y) {
    return LoadPixel(SourcePixelsOf(*Model().MasterBitmap()).At(x, y));
  }
  TColor PanelPixel(int x, int y) { return PixelOf(panel->SkinData()->CacheBmp(), x, y); }
  // What the "BUTTON" mask gives at the button's pixel (x, y) of its left
  // edge, for `frame`: the piece blended over the panel through its mask.
  TColor LeftEdge(TsBitBtn* b, int frame, int x, int y) {
    const int fh = 42, top = 8, ch = fh - 16;
    const int sx = 0 + frame * 45 + x;
    const int sy = 169 + top + (y - top) % ch;
    const TColor src = Master(sx, sy), mask = Master(sx, sy + fh);
    const TColor dst = PanelPixel(b->Left() + x, b->Top() + y);
    return RGB(MaskBlend(GetRValue(src), GetRValue(dst), GetRValue(mask)),
               MaskBlend(GetGValue(src), GetGValue(dst), GetGValue(mask)),
               MaskBlend(GetBValue(src), GetBValue(dst), GetBValue(mask)));
  }
  // Where the caption's ink is: pixels inside the frame that differ from
  // the same look without the caption.
  std::set<std::pair<int, int>> Ink(TsBitBtn* b) {
    TBitmap with;
    with.Assign(Cache(b));
    const std::string caption = b->Caption();
    b->SetShowCaption(false);
    TBitmap& without = Cache(b);
    b->SetShowCaption(true);
    std::set<std::pair<int, int>> out;
    for (int y = 8; y < with.Height() - 8; ++y)
      for (int x = 8; x < with.Width() - 8; ++x)
        if (PixelOf(with, x, y) != PixelOf(without, x, y)) out.insert({x, y});
    return out;
  }
  // The ink pixel nearest to `color`, as the largest channel difference.
  int Nearest(TsBitBtn* b, TColor color) {
    const auto ink = Ink(b);
    TBitmap& c = Cache(b);
    int best = 256;
    for (const auto& [x, y] : ink) {
      const TColor p = PixelOf(c, x, y);
      best = std::min(best, std::max({std::abs(GetRValue(p) - GetRValue(color)),
                                      std::abs(GetGValue(p) - GetGValue(color)),
                                      std::abs(GetBValue(p) - GetBValue(color))}));
    }
    return best;
  }

  TsPanel* panel = nullptr;
  TsBitBtn* button = nullptr;
  TsBitBtn* other = nullptr;
};

constexpr TColor kFont = 12237498;
constexpr TColor kHotFont = 5289412;

}  // namespace

TEST_F(Button, StateFollowsPointerPressFocusDefaultAndDown) {
  EXPECT_EQ(button->CurrentSkinState(), 0);
  button->Perform(CM_MOUSEENTER);
  EXPECT_TRUE(button->SkinData()->MouseAbove());
  EXPECT_EQ(manager->HotControl(), button);
  EXPECT_EQ(button->CurrentSkinState(), 1);
  button->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(10, 10));
  EXPECT_EQ(button->CurrentSkinState(), 2);
  // Dragged off the button while held: no longer pushed, still focused.
  button->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(200, 10));
  EXPECT_EQ(button->CurrentSkinState(), 1);
  button->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(10, 10));
  EXPECT_EQ(button->CurrentSkinState(), 2);
  button->Perform(WM_LBUTTONUP, 0, MakeLParam(10, 10));
  button->Perform(CM_MOUSELEAVE);
  EXPECT_EQ(manager->HotControl(), nullptr);
  EXPECT_TRUE(button->Focused());
  EXPECT_EQ(button->CurrentSkinState(), 1);  // focused
  other->SetFocus();
  EXPECT_EQ(button->CurrentSkinState(), 0);
  EXPECT_EQ(other->CurrentSkinState(), 1);
  // Space pushes the focused button.
  std::uint16_t space = VK_SPACE;
  other->Perform(WM_KEYDOWN, space);
  EXPECT_EQ(other->CurrentSkinState(), 2);
  other->Perform(WM_KEYUP, space);
  EXPECT_EQ(other->CurrentSkinState(), 1);
  button->SetDefault(true);
  EXPECT_EQ(button->CurrentSkinState(), 1);
  button->SetDefault(false);
  button->SetDown(true);
  EXPECT_EQ(button->CurrentSkinState(), 2);
  button->SetDown(false);
  EXPECT_EQ(button->CurrentSkinState(), 0);
  // Cancel mode clears the pointer and the focus of the look.
  button->Perform(CM_MOUSEENTER);
  button->Perform(WM_CANCELMODE);
  EXPECT_FALSE(button->SkinData()->MouseAbove());
  EXPECT_EQ(button->CurrentSkinState(), 0);
}

TEST_F(Button, EachStateUsesItsFrameOfTheBorderMaskAndTheLastPastIt) {
  // The button shows the panel behind it inside its 8-pixel frame.
  TBitmap& normal = Cache(button);
  for (int y = 9; y < 43; y += 5) {
    for (int x = 9; x < 56; x += 7) {
      if (PixelOf(normal, x, y) == kFont) continue;  // caption
      if (x > 15 && x < 50 && y > 18 && y < 34) continue;
      ASSERT_EQ(PixelOf(normal, x, y), PanelPixel(button->Left() + x, button->Top() + y))
          << x << "," << y;
    }
  }
  for (int state = 0; state < 3; ++state) {
    button->SetDown(state == 2);
    if (state == 1) button->SetDefault(true);
    TBitmap& c = Cache(button);
    ASSERT_EQ(button->SkinData()->CacheState(), state);
    for (int y = 10; y < 42; y += 3)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(PixelOf(c, x, y), LeftEdge(button, state, x, y)) << state << ":" << x << "," << y;
    button->SetDefault(false);
  }
  // "EDIT" has a single frame: pressed, a button of it draws that frame.
  TsBitBtn* one_frame = MakeButton(180, "", "EDIT");
  one_frame->SetDown(true);
  TBitmap pressed;
  pressed.Assign(Cache(one_frame));
  one_frame->SetDown(false);
  TBitmap& normal_one = Cache(one_frame);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 5; ++x) ASSERT_EQ(PixelOf(pressed, x, y), PixelOf(normal_one, x, y));
}

TEST_F(Button, CaptionTakesTheStatesFontColourAndMovesWhilePressed) {
  // The text is smoothed: its most covered pixels carry the colour.
  const auto normal = Ink(button);
  EXPECT_GT(normal.size(), 30u);
  EXPECT_LE(Nearest(button, kFont), 8);
  EXPECT_GT(Nearest(button, kHotFont), 40);
  button->Perform(CM_MOUSEENTER);
  const auto hot = Ink(button);
  EXPECT_EQ(hot, normal);
  EXPECT_LE(Nearest(button, kHotFont), 8);
  EXPECT_GT(Nearest(button, kFont), 40);
  button->SetDown(true);
  const auto pressed = Ink(button);
  EXPECT_LE(Nearest(button, kHotFont), 8);
  std::set<std::pair<int, int>> moved;
  for (const auto& [x, y] : hot) moved.insert({x + 1, y + 1});
  EXPECT_EQ(pressed, moved);
  // Drawn under the border, the caption is where it was.
  button->SetDown(false);
  button->SetDrawOverBorder(false);
  EXPECT_EQ(Ink(button), hot);
}

TEST_F(Button, FocusRectangleOnlyWhereTheSectionShowsFocus) {
  // "BUTTON" has no SHOWFOCUS: focused looks like hot.
  button->Perform(CM_MOUSEENTER);
  TBitmap hot;
  hot.Assign(Cache(button));
  button->Perform(CM_MOUSELEAVE);
  button->SetFocus();
  TBitmap& focused = Cache(button);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 65; ++x) ASSERT_EQ(PixelOf(focused, x, y), PixelOf(hot, x, y));
  // A section that shows focus draws it around the caption, unless the
  // button's ShowFocus is off.
  TsBitBtn* shows = MakeButton(180, "Go", "FOCUSBUTTON");
  shows->Perform(CM_MOUSEENTER);
  hot.Assign(Cache(shows));
  shows->Perform(CM_MOUSELEAVE);
  shows->SetFocus();
  int differ = 0;
  TBitmap& with_focus = Cache(shows);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 65; ++x) differ += PixelOf(with_focus, x, y) != PixelOf(hot, x, y);
  EXPECT_GT(differ, 10);
  shows->SetShowFocus(false);
  EXPECT_FALSE(shows->ShowFocusFrame());
  TBitmap& without = Cache(shows);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 65; ++x) ASSERT_EQ(PixelOf(without, x, y), PixelOf(hot, x, y));
}

TEST_F(Button, DisabledButtonShowsThePanelBlendedOverItAtFourTenths) {
  TBitmap enabled;
  enabled.Assign(Cache(button));
  button->SetEnabled(false);
  EXPECT_GT(Nearest(button, kFont), 40);
  TBitmap& disabled = Cache(button);
  for (int y = 0; y < 52; y += 3) {
    for (int x = 0; x < 65; x += 4) {
      if (x > 8 && x < 57 && y > 8 && y < 44) continue;  // the caption's colour changes too
      const TColor own = PixelOf(enabled, x, y);
      const TColor back = PanelPixel(button->Left() + x, button->Top() + y);
      const TColor expected = RGB(TransparencyBlend(GetRValue(back), GetRValue(own), 102),
                                  TransparencyBlend(GetGValue(back), GetGValue(own), 102),
                                  TransparencyBlend(GetBValue(back), GetBValue(own), 102));
      ASSERT_EQ(PixelOf(disabled, x, y), expected) << x << "," << y;
    }
  }
  // A disabled button is not hot and takes no press.
  button->Perform(CM_MOUSEENTER);
  EXPECT_EQ(button->CurrentSkinState(), 0);
}

TEST_F(Button, KindGlyphSurvivesTheCache) {
  TsBitBtn* ok = MakeButton(180, "OK", "BUTTON");
  TBitmap plain;
  plain.Assign(Cache(ok));
  ok->SetKind(bkOK);
  TBitmap& with_glyph = Cache(ok);
  // The green check mark lies left of the caption.
  int green = 0;
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 32; ++x) {
      const TColor c = PixelOf(with_glyph, x, y);
      green += GetGValue(c) > GetRValue(c) + 30 && GetGValue(c) > GetBValue(c) + 30;
    }
  EXPECT_GT(green, 5);
}
