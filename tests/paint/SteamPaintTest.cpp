// The painting steps over the internal skin "Steam (internal)".
#include <gtest/gtest.h>

#include "PaintTestUtil.h"
#include "skin/MemIniFile.h"
#include "skin/SkinPainter.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinArchive.h"

using namespace painttest;

namespace {

class SteamPaint : public testing::Test {
 protected:
  void SetUp() override {
    archive.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
    ini.SetText(std::string(archive.Options().begin(), archive.Options().end()));
    TsModelSource source;
    source.Options = &ini;
    source.Archive = &archive;
    model.Build(source);
    ASSERT_NE(model.MasterBitmap(), nullptr);
  }
  int Section(const std::string& name) { return model.SectionIndex(name); }
  int Borders(const std::string& name) {
    return model.MaskIndex(Section(name), name, "BORDERSMASK");
  }
  TColor Master(int x, int y) { return LoadPixel(SourcePixelsOf(*model.MasterBitmap()).At(x, y)); }

  TsSkinArchive archive;
  TMemIniFile ini;
  TsSkinModel model;
};

TColor MaskBlend3(TColor src, TColor dst, TColor mask) {
  return RGB(MaskBlend(GetRValue(src), GetRValue(dst), GetRValue(mask)),
             MaskBlend(GetGValue(src), GetGValue(dst), GetGValue(mask)),
             MaskBlend(GetBValue(src), GetBValue(dst), GetBValue(mask)));
}

}  // namespace

TEST_F(SteamPaint, PanelGradientFillsTheTopBand) {
  TBitmap b(431, 73);
  FillAll(b, clFuchsia);
  TsSectionRequest panel;
  panel.section = Section("PANEL");
  const TsLook look = LookOfSection(model, panel);
  EXPECT_EQ(look.color, 0xFFFFFF);
  EXPECT_EQ(look.gradient_percent, 100);
  ASSERT_EQ(look.gradient.size(), 3u);
  PaintSectionBackground(b, Rect(0, 0, 431, 73), model, panel, TsBackground::FromColor(4605510));
  for (int y = 0; y < 48; ++y) ASSERT_EQ(Px(b, 215, y), 0x656A68) << y;
  EXPECT_EQ(Px(b, 0, 48), 0x656A68);
  EXPECT_EQ(Px(b, 430, 71), 0x585A5D);
  EXPECT_EQ(Px(b, 430, 72), 0x585A5D);
  // Row colours fall monotonically through the shading band.
  for (int y = 49; y < 72; ++y) ASSERT_LE(GetRValue(Px(b, 3, y)), GetRValue(Px(b, 3, y - 1))) << y;
}

TEST_F(SteamPaint, EditBordersAreFiveAndShrinkToFourOnAnEightPixelItem) {
  const TsImagePiece edit = PieceOfMask(model, Borders("EDIT"));
  ASSERT_TRUE(edit.Valid());
  EXPECT_EQ(edit.left, 5);
  EXPECT_EQ(edit.bottom, 5);
  EXPECT_EQ(edit.FrameWidth(), 45);
  EXPECT_EQ(edit.FrameHeight(), 42);
  TBitmap tall(205, 21), low(205, 8);
  FillAll(tall, 0x010203);
  FillAll(low, 0x010203);
  DrawSkinBorder(tall, Rect(0, 0, 205, 21), model, Borders("EDIT"), 0, true,
                 TsBackground::FromColor(0x656A68));
  DrawSkinBorder(low, Rect(0, 0, 205, 8), model, Borders("EDIT"), 0, true,
                 TsBackground::FromColor(0x656A68));
  // Rows 16..20 of the tall item and 4..7 of the low one are the frame's
  // last rows; pixels that are the key show the background colour.
  auto expect = [&](TBitmap& b, int x, int y, int sx, int sy) {
    const TColor m = Master(sx, sy);
    EXPECT_EQ(Px(b, x, y), m == clFuchsia ? 0x656A68 : m) << x << "," << y;
  };
  for (int x = 0; x < 5; ++x) {
    expect(tall, x, 4, 45 + x, 49);
    expect(tall, x, 16, 45 + x, 45 + 37);
    expect(low, x, 3, 45 + x, 48);
    expect(low, x, 4, 45 + x, 45 + 38);
    expect(low, x, 7, 45 + x, 45 + 41);
  }
  // Filling does not draw a centre: "EDIT" has no centre bit.
  EXPECT_EQ(Px(tall, 100, 10), 0x010203);
}

TEST_F(SteamPaint, ButtonFramesAreBlendedThroughTheirMaskAndClampToTheLast) {
  const TsImagePiece button = PieceOfMask(model, Borders("BUTTON"));
  ASSERT_TRUE(button.Valid());
  EXPECT_EQ(button.image_count, 3);
  EXPECT_EQ(button.mask_type, 1);
  EXPECT_EQ(button.FrameHeight(), 42);
  TBitmap state2(65, 52), state7(65, 52);
  const TColor under = 0x5A6A70;
  FillAll(state2, under);
  FillAll(state7, under);
  const TsBackground back = TsBackground::FromColor(under);
  DrawSkinBorder(state2, Rect(0, 0, 65, 52), model, Borders("BUTTON"), 2, false, back);
  DrawSkinBorder(state7, Rect(0, 0, 65, 52), model, Borders("BUTTON"), 7, false, back);
  // Top-left corner of the third frame: SourceRect.Left (0) + 2 × 45.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const TColor src = Master(90 + x, 169 + y);
      const TColor want =
          src == clFuchsia ? under : MaskBlend3(src, under, Master(90 + x, 169 + 42 + y));
      ASSERT_EQ(Px(state2, x, y), want) << x << "," << y;
      ASSERT_EQ(Px(state7, x, y), want) << x << "," << y;
    }
  // The inside keeps what was there (no centre bit).
  EXPECT_EQ(Px(state2, 32, 26), under);
}

TEST_F(SteamPaint, KeyedCornerPixelsShowTheParentsBitmap) {
  // Find a key pixel in the top-left corner of the first "BUTTON" frame.
  int kx = -1, ky = -1;
  for (int y = 0; y < 8 && kx < 0; ++y)
    for (int x = 0; x < 8 && kx < 0; ++x)
      if (Master(x, 169 + y) == clFuchsia) kx = x, ky = y;
  ASSERT_GE(kx, 0) << "the button art has square corners";
  TBitmap parent(431, 67);
  Paint(parent, [](int x, int y) { return Channels(x & 0xFF, y, 0x33); });
  TBitmap cache(65, 52);
  FillAll(cache, 0x000000);
  // sBitBtn1 lies at (7, 8) of sPanel2.
  DrawSkinBorder(cache, Rect(0, 0, 65, 52), model, Borders("BUTTON"), 0, false,
                 TsBackground::FromBitmap(SourcePixelsOf(parent), 7, 8));
  EXPECT_EQ(Px(cache, kx, ky), Px(parent, 7 + kx, 8 + ky));
  // The mirrored corner too, when the art keys it out.
  if (Master(44 - kx, 169 + 41 - ky) == clFuchsia) {
    EXPECT_EQ(Px(cache, 64 - kx, 51 - ky), Px(parent, 7 + 64 - kx, 8 + 51 - ky));
  }
}

TEST_F(SteamPaint, TransparentButtonShowsThePanelAndDisablingBlendsItIn) {
  TBitmap panel(431, 67);
  TsSectionRequest p;
  p.section = Section("PANEL");
  PaintSectionBackground(panel, Rect(0, 0, 431, 67), model, p, TsBackground::FromColor(4605510));
  TBitmap cache(65, 52);
  FillAll(cache, 0);
  TsSectionRequest b;
  b.section = Section("BUTTON");
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(panel), 7, 8);
  PaintSectionBackground(cache, Rect(0, 0, 65, 52), model, b, back);
  EXPECT_EQ(Px(cache, 30, 20), Px(panel, 37, 28));
  DrawSkinBorder(cache, Rect(0, 0, 65, 52), model, Borders("BUTTON"), 0, false, back);
  const TColor before = Px(cache, 3, 26);
  PaintDisabledLook(PixelsOf(cache), Rect(0, 0, 65, 52), kDefaultDisabledKind, back);
  const TColor parent = Px(panel, 10, 34);
  EXPECT_EQ(GetRValue(Px(cache, 3, 26)),
            TransparencyBlend(GetRValue(parent), GetRValue(before), 102));
}

TEST_F(SteamPaint, ComboGlyphHasThreeFramesOf15By18) {
  const TsImagePiece glyph = PieceOfMask(model, model.Cache().ComboGlyph);
  ASSERT_TRUE(glyph.Valid());
  EXPECT_EQ(glyph.FrameWidth(), 15);
  EXPECT_EQ(glyph.FrameHeight(), 18);
  TBitmap b(20, 20);
  FillAll(b, 0x494E49);
  DrawSkinGlyph(b, {2, 1}, model, model.Cache().ComboGlyph, 1);
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 15; ++x) {
      const TColor m = Master(15 + x, 151 + y);
      ASSERT_EQ(Px(b, 2 + x, 1 + y), m == clFuchsia ? 0x494E49 : m);
    }
}

TEST_F(SteamPaint, TextColoursFollowTheStateAndTheDisabledMix) {
  const int button = Section("BUTTON");
  const SectionRecord& s = model.Sections()[static_cast<std::size_t>(button)];
  EXPECT_EQ(TextColorsOf(s, false)[0], 12237498);
  EXPECT_EQ(TextColorsOf(s, true)[0], 5289412);
  EXPECT_TRUE(TextUnderlined("WEBBUTTON", true));
  EXPECT_FALSE(TextUnderlined("WEBBUTTON", false));
  EXPECT_FALSE(TextUnderlined("BUTTON", true));
  // A see-through button on a panel keeps its own section: "PANEL" is opaque.
  EXPECT_EQ(TextSectionIndex(model, button, false, true, {Section("PANEL")}), button);
  EXPECT_EQ(TextSectionIndex(model, -1, false, true, {Section("PANEL")}), -1);
}

TEST(SectionChoice, SeeThroughControlsTakeTheFirstParentWithItsOwnFont) {
  TMemIniFile ini(
      "[LABEL]\r\nTRANSPARENCY=100\r\n[GLASS]\r\nTRANSPARENCY=80\r\n[GROUP]\r\nTRANSPARENCY=60\r\n"
      "GIVEOWNFONT=TRUE\r\n[SOLID]\r\nTRANSPARENCY=20\r\nGIVEOWNFONT=FALSE\r\n[OWN]\r\nGIVEOWNFONT="
      "TRUE\r\n");
  TsSkinModel model;
  TsModelSource source;
  source.Options = &ini;
  model.Build(source);
  const int label = model.SectionIndex("LABEL"), glass = model.SectionIndex("GLASS"),
            group = model.SectionIndex("GROUP"), solid = model.SectionIndex("SOLID"),
            own = model.SectionIndex("OWN");
  EXPECT_EQ(TextSectionIndex(model, label, false, true, {glass, group, own}), group);
  EXPECT_EQ(TextSectionIndex(model, label, false, true, {solid, own}), label);
  EXPECT_EQ(TextSectionIndex(model, label, false, true, {own}), own);
  EXPECT_EQ(TextSectionIndex(model, label, false, false, {own}), label);
  // An opaque control never walks; any transparency at all makes it walk.
  EXPECT_EQ(TextSectionIndex(model, own, false, true, {group}), own);
  EXPECT_EQ(TextSectionIndex(model, solid, false, true, {own}), own);
}

TEST_F(SteamPaint, ItemPainterComposesBackgroundAndBorderAtTheControlsPlace) {
  TBitmap panel(431, 67);
  Paint(panel, [](int x, int y) { return Channels(x & 0xFF, y, 0x21); });
  TBitmap item(65, 52), by_hand(65, 52);
  TsSectionRequest b;
  b.section = Section("BUTTON");
  b.state = 1;
  PaintSkinItem(item, Rect(0, 0, 65, 52), model, b, false,
                TsBackground::FromBitmap(SourcePixelsOf(panel), 76, 8));
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(panel), 76, 8);
  PaintSectionBackground(by_hand, Rect(0, 0, 65, 52), model, b, back);
  DrawSkinBorder(by_hand, Rect(0, 0, 65, 52), model, Borders("BUTTON"), 1, false, back);
  for (int y = 0; y < 52; ++y)
    for (int x = 0; x < 65; ++x) ASSERT_EQ(Px(item, x, y), Px(by_hand, x, y)) << x << "," << y;
  EXPECT_EQ(Px(item, 30, 25), Px(panel, 106, 33));
  // A rectangle that does not fit the cache is not painted.
  FillAll(item, 0x777777);
  PaintSkinItem(item, Rect(0, 0, 66, 52), model, b, false, back);
  EXPECT_EQ(Px(item, 30, 25), 0x777777);
}

TEST(ItemPainter, CornerImagesSitInTheirCorners) {
  auto master = std::make_shared<TBitmap>(8, 2);
  Paint(*master, [](int x, int y) { return Code(x, y); });
  std::vector<SectionRecord> sections(1);
  sections[0].SectionName = "TILE";
  sections[0].Color = 0x0F0F0F;
  std::vector<MaskRecord> masks;
  const char* keys[4] = {"IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT", "IMGBTMRIGHT"};
  for (int i = 0; i < 4; ++i) {
    MaskRecord m;
    m.SectionName = "TILE";
    m.PropertyName = keys[i];
    m.SourceRect = Rect(2 * i, 0, 2 * i + 2, 2);
    m.ImageType = itisaGlyph;
    masks.push_back(m);
  }
  TsSkinModel model;
  model.Assign(sections, masks, master, TsSkinData{});
  TBitmap cache(10, 6);
  TsSectionRequest r;
  r.section = 0;
  PaintSkinItem(cache, Rect(1, 1, 9, 6), model, r, true, TsBackground::FromColor(kTransparentKey));
  EXPECT_EQ(Px(cache, 1, 1), Code(0, 0));
  EXPECT_EQ(Px(cache, 7, 1), Code(2, 0));
  EXPECT_EQ(Px(cache, 8, 2), Code(3, 1));
  EXPECT_EQ(Px(cache, 1, 4), Code(4, 0));
  EXPECT_EQ(Px(cache, 8, 5), Code(7, 1));
  EXPECT_EQ(Px(cache, 4, 3), 0x0F0F0F);
  EXPECT_EQ(Px(cache, 0, 0), 0);
}
