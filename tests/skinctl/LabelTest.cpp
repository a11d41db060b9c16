// Skinned labels: the text colour the skin gives them (the walk up the
// parents' sections), its removal, the disabled mix, and the effect label's
// shadow: the blur rule, what is measured, the plain and disabled looks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "SkinCtlTestUtil.h"
#include "skin/sLabel.h"
#include "skin/sPanel.h"

using namespace skinctltest;

namespace {

// A label that counts its paints.
class TCountingLabel : public TsLabel {
 public:
  using TsLabel::TsLabel;
  int paints = 0;

 protected:
  void Paint() override {
    ++paints;
    TsLabel::Paint();
  }
};

// Sections with their own text colours, see-through or not.
std::vector<std::string> LabelSections() {
  std::vector<std::string> s = kTestSections;
  for (const char* line :
       {"[OWNFONT]", "COLOR=3355443", "FONTCOLOR=1193046", "GIVEOWNFONT=TRUE", "[CLEAROWN]",
        "TRANSPARENCY=100", "FONTCOLOR=6636321", "GIVEOWNFONT=TRUE", "[HALFOWN]", "COLOR=3355443",
        "TRANSPARENCY=50", "FONTCOLOR=658188", "GIVEOWNFONT=TRUE"})
    s.push_back(line);
  return s;
}

class Labels : public SkinFixture {
 protected:
  void SetUp() override {
    SkinFixture::SetUp();
    manager->SetCommonSections(LabelSections());
    ASSERT_GE(manager->SectionIndex("CLEAROWN"), 0);
    form->Show();
    Pump(20);
  }
  TsPanel* Panel(TWinControl* parent, const char* section, const TRect& r) {
    auto* p = new TsPanel(form);
    p->SetParent(parent);
    p->SetBoundsRect(r);
    p->SkinData()->SetSkinSection(section);
    return p;
  }
  template <class T = TsLabel>
  T* Label(TWinControl* parent, const char* text) {
    auto* l = new T(form);
    l->SetParent(parent);
    l->SetLeft(10);
    l->SetTop(10);
    l->SetCaption(text);
    return l;
  }
  // Large bold text: its stems cover whole pixels in the text's colour.
  static void Bold(TsCustomLabel* label) {
    label->SetParentFont(false);
    label->Font().SetHeight(-24);
    label->Font().SetStyle(fsBold);
  }
  TColor Painted(TsCustomLabel* label) {
    label->Repaint();
    Pump(10);
    return label->Font().Color();
  }
};

}  // namespace

TEST_F(Labels, TextColourWalksUpSeeThroughSectionsOnly) {
  // PANEL gives no colour of its own: the skin-wide text colour.
  TsPanel* panel = Panel(form, "PANEL", Bounds(0, 0, 300, 200));
  EXPECT_EQ(Painted(Label(panel, "Caption")), 0x00B1B1B1);
  // A section with its own font colour gives it.
  TsPanel* own = Panel(panel, "OWNFONT", Bounds(10, 10, 280, 180));
  EXPECT_EQ(Painted(Label(own, "Own")), 0x00123456);
  // Over 50 % see-through: its own font is passed over for its parent's.
  TsPanel* clear = Panel(own, "CLEAROWN", Bounds(10, 10, 200, 100));
  EXPECT_EQ(Painted(Label(clear, "Through")), 0x00123456);
  // At 50 the walk stops.
  TsPanel* half = Panel(own, "HALFOWN", Bounds(10, 120, 200, 50));
  EXPECT_EQ(Painted(Label(half, "Half")), 0x000A0B0C);
  // A parent without a section ends the walk: the skin-wide colour, not
  // the section further up.
  auto* plain = new TPanel(form);
  plain->SetParent(own);
  plain->SetBounds(220, 10, 50, 50);
  EXPECT_EQ(Painted(Label(plain, "Plain")), 0x00B1B1B1);
  // With UseSkinColor off the font keeps its colour.
  TsLabel* keep = Label(own, "Keep");
  keep->SetUseSkinColor(false);
  keep->Font().SetColor(0x00010203);
  EXPECT_EQ(Painted(keep), 0x00010203);
}

TEST_F(Labels, SkinColourTakenWhilePaintingDoesNotPaintAgain) {
  TsPanel* panel = Panel(form, "PANEL", Bounds(0, 0, 300, 200));
  auto* label = Label<TCountingLabel>(panel, "Once");
  label->Font().SetColor(0x00000000);
  Pump(30);
  const int paints = label->paints;
  ASSERT_GT(paints, 0);
  EXPECT_EQ(label->Font().Color(), 0x00B1B1B1);
  Pump(60);
  EXPECT_EQ(label->paints, paints);
  // The text is on the screen in that colour (its stems cover whole pixels).
  label->SetCaption("HHHH");
  Bold(label);
  Pump(30);
  const QImage shot = Grab(panel);
  int text = 0;
  for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
    for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
      text += PixelOf(shot, x, y) == 0x00B1B1B1;
  EXPECT_GT(text, 5);
}

TEST_F(Labels, RemovingTheSkinGivesWindowTextAndDisabledTextMixesWithTheParent) {
  TsPanel* panel = Panel(form, "FLAT", Bounds(0, 0, 300, 200));
  TsLabel* label = Label(panel, "HHHHHH");
  Bold(label);
  TsLabel* own = Label(panel, "Own colour");
  own->SetTop(40);
  own->SetUseSkinColor(false);
  own->Font().SetColor(0x000000FF);
  EXPECT_EQ(Painted(label), 0x00B1B1B1);
  // Disabled: 0.4 x 0xB1B1B1 + 0.6 x FLAT's 0x112233, rounded per channel.
  label->SetEnabled(false);
  Pump(20);
  const TColor mixed = RGB((4 * 0xB1 + 6 * 0x33 + 5) / 10, (4 * 0xB1 + 6 * 0x22 + 5) / 10,
                           (4 * 0xB1 + 6 * 0x11 + 5) / 10);
  QImage shot = Grab(panel);
  int mixed_pixels = 0, other_text = 0;
  for (int y = 10; y < 10 + label->Height(); ++y) {
    for (int x = 10; x < 10 + label->Width(); ++x) {
      const TColor c = PixelOf(shot, x, y);
      mixed_pixels += c == mixed;
      other_text += c == 0x00B1B1B1 || c == ColorToRGB(clBtnHighlight);
    }
  }
  EXPECT_GT(mixed_pixels, 5);
  EXPECT_EQ(other_text, 0);
  // The skin goes: window text for the skin's labels, the own colour stays.
  manager->SetActive(false);
  Pump(20);
  EXPECT_EQ(label->Font().Color(), clWindowText);
  EXPECT_EQ(own->Font().Color(), 0x000000FF);
  // Without a skin a disabled label is embossed as usual.
  shot = Grab(panel);
  int highlight = 0;
  for (int y = 10; y < 10 + label->Height() + 1; ++y)
    for (int x = 10; x < 10 + label->Width() + 1; ++x)
      highlight += PixelOf(shot, x, y) == ColorToRGB(clBtnHighlight);
  EXPECT_GT(highlight, 5);
}

// ---- the effect label ----------------------------------------------------------

TEST(BlurTextMask, PassesReplaceInPlaceRowByRow) {
  // One lit pixel in the middle of a 5 x 5 grid, one pass, by hand: cells
  // before it in reading order already see their replaced neighbours.
  std::vector<std::uint8_t> cells(7 * 7, 99);
  BlurTextMask(cells, 5, 5, 1, [](int x, int y) { return x == 2 && y == 2; });
  auto at = [&](int x, int y) { return static_cast<int>(cells[(y + 1) * 7 + x + 1]); };
  EXPECT_EQ(at(1, 1), 0);              // its right neighbour not yet replaced
  EXPECT_EQ(at(2, 1), 255 / 4);        // 255 below
  EXPECT_EQ(at(3, 1), 63 / 4);         // 63 to the left, already replaced
  EXPECT_EQ(at(1, 2), 255 / 4);        // 255 to the right
  EXPECT_EQ(at(2, 2), (63 + 63) / 4);  // itself replaced from the new values
  EXPECT_EQ(at(3, 2), (15 + 31) / 4);
  EXPECT_EQ(at(2, 3), (31 + 15) / 4);
  EXPECT_EQ(at(0, 0), 0);
  // The border stays clear (the grid is cleared first).
  EXPECT_EQ(cells[0], 0);
  EXPECT_EQ(cells[6 * 7 + 6], 0);
  // Without passes nothing is lit.
  BlurTextMask(cells, 5, 5, 0, [](int, int) { return true; });
  EXPECT_EQ(at(2, 2), 0);
  // A second pass lights the pixel again before blurring.
  BlurTextMask(cells, 5, 5, 2, [](int x, int y) { return x == 2 && y == 2; });
  EXPECT_GT(at(2, 1), 63);
}

class EffectLabel : public Labels {
 protected:
  TsLabelFX* Fx(TWinControl* parent, const char* text) {
    TsLabelFX* l = Label<TsLabelFX>(parent, text);
    l->SetParentFont(false);
    l->Font().SetName("Tahoma");
    l->Font().SetHeight(-16);
    l->Font().SetStyle(fsBold);
    return l;
  }
};

TEST_F(EffectLabel, SettingsComeFromTheSkinOrTheLabel) {
  TsLabelFX* l = Fx(form, "Title");
  // The internal skin: black, 4 passes, 1 pixel; text in its first contour colour.
  TsShadowSettings s = l->ShadowSettings();
  EXPECT_EQ(s.Color, 0);
  EXPECT_EQ(s.BlurCount, 4);
  EXPECT_EQ(s.Distance, 1);
  EXPECT_EQ(s.NearMargin(), -3);
  EXPECT_EQ(s.FarMargin(), 5);
  EXPECT_EQ(l->TextColor(), 0x0056C2CE);
  l->Shadow().SetMode(smCustom);
  l->Shadow().SetColor(0x00FF0000);
  l->Shadow().SetBlurCount(2);
  l->Shadow().SetDistance(3);
  s = l->ShadowSettings();
  EXPECT_EQ(s.Color, 0x00FF0000);
  EXPECT_EQ(s.NearMargin(), 0);
  EXPECT_EQ(s.FarMargin(), 5);
  l->Kind().SetKindType(ktCustom);
  l->Kind().SetColor(0x00010203);
  EXPECT_EQ(l->TextColor(), 0x00010203);
  // The standard kind writes in the font's colour.
  l->Kind().SetKindType(ktStandard);
  l->Font().SetColor(0x00336699);
  EXPECT_EQ(l->TextColor(), 0x00336699);
  // Without a skin: the label's own values.
  l->Shadow().SetMode(smSkin1);
  l->Kind().SetKindType(ktSkin);
  manager->SetActive(false);
  s = l->ShadowSettings();
  EXPECT_EQ(s.Color, 0x00FF0000);
  EXPECT_EQ(s.BlurCount, 2);
  EXPECT_EQ(l->TextColor(), 0x00010203);
}

TEST_F(EffectLabel, MeasuresTheShadowsRoomAndALonePrefixAsABlank) {
  TsLabelFX* fx = Fx(form, "Sonarix");
  TsLabelFX* plain = Fx(form, "Sonarix");
  plain->Shadow().SetMode(smNone);
  // The skin's shadow widens the text by far - near = 8 each way.
  EXPECT_EQ(fx->Width(), plain->Width() + 8);
  EXPECT_EQ(fx->Height(), plain->Height() + 8);
  // No blur: the text alone.
  fx->Shadow().SetMode(smCustom);
  fx->Shadow().SetBlurCount(0);
  fx->SetCaption("Sonarix ");
  fx->SetCaption("Sonarix");
  EXPECT_EQ(fx->Width(), plain->Width());
  // "&" with accelerator handling measures as one blank.
  plain->SetCaption("&");
  TsLabelFX* blank = Fx(form, " ");
  blank->Shadow().SetMode(smNone);
  EXPECT_EQ(plain->Width(), blank->Width());
  EXPECT_GT(plain->Width(), 0);
  plain->SetShowAccelChar(false);
  TsLabelFX* amp = Fx(form, "&&");
  amp->Shadow().SetMode(smNone);
  EXPECT_EQ(plain->Width(), amp->Width()) << "without prefixes a lone & is itself";
}

TEST_F(EffectLabel, NoBlurDrawsPlainTextAndDisabledIsEmbossedWithoutShadow) {
  TsPanel* panel = Panel(form, "FLAT", Bounds(0, 0, 300, 200));
  TsLabelFX* l = Fx(panel, "WWWW");
  l->Shadow().SetMode(smCustom);
  l->Shadow().SetBlurCount(0);
  l->Repaint();
  Pump(20);
  auto count = [&](TColor color) {
    const QImage shot = Grab(panel);
    int n = 0;
    for (int y = l->Top(); y < l->Top() + l->Height(); ++y)
      for (int x = l->Left(); x < l->Left() + l->Width(); ++x) n += PixelOf(shot, x, y) == color;
    return n;
  };
  const int area = l->Width() * l->Height();
  // The text colour and the panel; nothing darker than the panel (no shadow).
  EXPECT_GT(count(0x0056C2CE), 10);
  EXPECT_GT(count(0x00112233), area / 2);
  const QImage shot = Grab(panel);
  for (int y = l->Top(); y < l->Top() + l->Height(); ++y)
    for (int x = l->Left(); x < l->Left() + l->Width(); ++x)
      ASSERT_GE(GetRValue(PixelOf(shot, x, y)), 0x33) << x << "," << y;
  // Disabled: the two embossing colours, no text colour, no shadow.
  l->Shadow().SetBlurCount(4);
  l->SetEnabled(false);
  Pump(20);
  EXPECT_GT(count(ColorToRGB(clBtnHighlight)), 10);
  EXPECT_GT(count(ColorToRGB(clBtnShadow)), 10);
  EXPECT_EQ(count(0x0056C2CE), 0);
  const QImage off = Grab(panel);
  for (int x = l->Left(); x < l->Left() + l->Width(); ++x)
    EXPECT_EQ(PixelOf(off, x, l->Top() + l->Height() - 1), 0x00112233) << x;
}

TEST_F(EffectLabel, BlurBufferOnlyGrows) {
  TsPanel* panel = Panel(form, "FLAT", Bounds(0, 0, 300, 200));
  TsLabelFX* l = Fx(panel, "Grow");
  l->SetAutoSize(false);
  l->SetBounds(10, 10, 100, 40);
  l->Repaint();
  Pump(10);
  EXPECT_EQ(l->BlurBufferSize(), 102u * 42u * 2u);
  l->SetBounds(10, 10, 50, 20);
  l->Repaint();
  Pump(10);
  EXPECT_EQ(l->BlurBufferSize(), 102u * 42u * 2u);
  l->SetBounds(10, 10, 120, 40);
  l->Repaint();
  Pump(10);
  EXPECT_EQ(l->BlurBufferSize(), 122u * 42u * 2u);
}

// A shadow colour whose channels differ, laid over a known background: each
// pixel of the blur is that background and the colour mixed by one weight
// in all three channels (the text, in the background's colour, only takes
// some of the weight away).
TEST_F(EffectLabel, AColouredShadowKeepsItsChannelsOverWhatLiesBehind) {
  TsPanel* panel = Panel(form, "FLAT", Bounds(0, 0, 300, 200));
  constexpr TColor kRed = 0x000000FF;
  struct TCase {
    bool see_through;
    TColor behind;  // the panel's colour, or the opaque label's own
  };
  for (const TCase& c : {TCase{true, 0x00112233}, TCase{false, 0x0000C000}}) {
    TsLabelFX* l = Fx(panel, "WWWW");
    l->SetTransparent(c.see_through);
    l->SetColor(c.behind);
    l->Kind().SetKindType(ktCustom);
    l->Kind().SetColor(c.behind);
    l->Shadow().SetMode(smCustom);
    l->Shadow().SetColor(kRed);
    l->Shadow().SetBlurCount(3);
    l->Shadow().SetDistance(3);
    l->Repaint();
    Pump(20);
    const QImage shot = Grab(panel);
    auto mix = [&](int a, int channel) {
      const int b = (c.behind >> (8 * channel)) & 0xFF, s = (kRed >> (8 * channel)) & 0xFF;
      return (b * (255 - a) + s * a) / 256;
    };
    int strong = 0, off = 0;
    for (int y = l->Top(); y < l->Top() + l->Height(); ++y) {
      for (int x = l->Left(); x < l->Left() + l->Width(); ++x) {
        const TColor p = PixelOf(shot, x, y);
        int best = 1000, weight = 0;
        for (int a = 0; a < 256; ++a) {
          int worst = 0;
          for (int ch = 0; ch < 3; ++ch)
            worst =
                std::max(worst, std::abs(static_cast<int>((p >> (8 * ch)) & 0xFF) - mix(a, ch)));
          if (worst < best) best = worst, weight = a;
        }
        off += best > 3;
        strong += weight >= 128;
      }
    }
    EXPECT_EQ(off, 0) << (c.see_through ? "see-through" : "opaque")
                      << ": pixels that are no mix of the background and the shadow";
    EXPECT_GT(strong, 30) << (c.see_through ? "see-through" : "opaque") << ": the shadow shows";
    delete l;
  }
}
