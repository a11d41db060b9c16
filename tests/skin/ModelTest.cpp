// The skin model built from the internal skin and from small options texts.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "skin/HueSaturation.h"
#include "skin/MemIniFile.h"
#include "skin/SkinLimits.h"
#include "skin/SteamSkin.h"
#include "skin/sImages.h"
#include "skin/sSkinArchive.h"
#include "skin/sSkinModel.h"
#include "toolkit/Graphics.h"
#include "toolkit/SysUtils.h"

namespace {
class SteamModel : public testing::Test {
 protected:
  void SetUp() override {
    archive.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
    ini.SetText(std::string(archive.Options().begin(), archive.Options().end()));
    TsModelSource source;
    source.Options = &ini;
    source.Archive = &archive;
    model.Build(source);
  }
  const SectionRecord& Section(const std::string& name) {
    const int i = model.SectionIndex(name);
    EXPECT_GE(i, 0) << name;
    return model.Sections().at(static_cast<std::size_t>(i));
  }
  int Mask(const std::string& section, const std::string& key) {
    return model.MaskIndex(model.SectionIndex(section), section, key);
  }
  const MaskRecord& MaskOf(const std::string& section, const std::string& key) {
    const int i = Mask(section, key);
    EXPECT_GE(i, 0) << section << "." << key;
    return model.Masks().at(static_cast<std::size_t>(i));
  }

  TsSkinArchive archive;
  TMemIniFile ini;
  TsSkinModel model;
};

TsSkinModel& Build(TsSkinModel& model, const TMemIniFile& ini,
                   const TMemIniFile* common = nullptr) {
  TsModelSource s;
  s.Options = &ini;
  s.CommonSections = common;
  model.Build(s);
  return model;
}
}  // namespace

TEST_F(SteamModel, SixtySectionsInFileOrder) {
  ASSERT_EQ(model.Sections().size(), 60u);
  EXPECT_EQ(model.Sections().front().SectionName, "GLOBALINFO");
  EXPECT_EQ(model.Sections()[1].SectionName, "TABCONTROLBOTTOM");
  EXPECT_EQ(model.Sections()[56].SectionName, "COMBOBOX");
  EXPECT_EQ(model.Sections().back().SectionName, "TOOLBAR");
  EXPECT_EQ(model.SectionIndex("panel"), -1);  // names compare exactly
}

TEST_F(SteamModel, GlobalValues) {
  const TsSkinData& d = model.SkinData();
  EXPECT_DOUBLE_EQ(d.Version, 5.41);
  EXPECT_EQ(d.Shadow1Offset, 1);
  EXPECT_EQ(d.Shadow1Blur, 4);
  EXPECT_EQ(d.BorderColor, 3421748);
  EXPECT_EQ(model.GlobalColor(), 4605510);
  EXPECT_EQ(model.GlobalFontColor(), 11645361);
  EXPECT_EQ(Section("GLOBALINFO").FontColor[1], 5685966);  // TCLEFT
  ASSERT_NE(model.MasterBitmap(), nullptr);
  EXPECT_EQ(model.MasterBitmap()->Width(), 189);
  EXPECT_EQ(model.MasterBitmap()->Height(), 400);
  EXPECT_EQ(model.MasterBitmap()->PixelFormat(), TPixelFormat::pf24bit);
  // The top-left corner of the form frame shows what lies behind.
  const std::uint8_t* p = model.MasterBitmap()->ScanLine(0);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);
}

TEST_F(SteamModel, PanelHasWhiteColourAndThreeGradientSteps) {
  const SectionRecord& p = Section("PANEL");
  EXPECT_EQ(p.Color, 0xFFFFFF);
  EXPECT_EQ(p.GradientPercent, 100);
  ASSERT_EQ(p.GradientArray.size(), 3u);
  EXPECT_EQ(p.GradientArray[0].Percent, 66);
  EXPECT_EQ(p.GradientArray[1].Percent, 34);
  EXPECT_EQ(p.GradientArray[2].Percent, 0);
  EXPECT_EQ(p.GradientArray[0].Color1, 6646376);
  EXPECT_EQ(p.GradientArray[1].Color2, 5790301);
  EXPECT_EQ(p.GradientArray[0].Mode, 0);
  EXPECT_EQ(p.FontColor[0], 13816530);
  EXPECT_EQ(p.FontColor[1], -1);  // no contours
  EXPECT_EQ(p.ShadowBlur, 6);
  EXPECT_EQ(p.FadingIterations, 5);
  EXPECT_TRUE(Section("MENUITEM").GradientArray.empty());  // "N/A"
  EXPECT_TRUE(Section("EDIT").GradientArray.empty());      // a single blank
}

TEST_F(SteamModel, EditBordersComeFromTheLastDigit) {
  const int i = Mask("EDIT", "BORDERSMASK");
  ASSERT_GE(i, 0);
  const MaskRecord& m = model.Masks()[static_cast<std::size_t>(i)];
  EXPECT_EQ(m.SourceRect, Rect(45, 45, 90, 87));
  EXPECT_EQ(m.LeftWidth, 5);
  EXPECT_EQ(m.TopWidth, 5);
  EXPECT_EQ(m.RightWidth, 5);
  EXPECT_EQ(m.BottomWidth, 5);
  EXPECT_EQ(m.MaskType, 0);
  EXPECT_EQ(m.ImageType, itisaBorder);
  EXPECT_EQ(model.MaskFrameSize(i), Point(45, 42));
  EXPECT_EQ(m.Source(), model.MasterBitmap());
  EXPECT_EQ(Section("EDIT").Color, 4804169);
}

TEST_F(SteamModel, ButtonHasThreeMaskedFrames) {
  const int i = Mask("BUTTON", "BORDERSMASK");
  const MaskRecord& m = model.Masks().at(static_cast<std::size_t>(i));
  EXPECT_EQ(m.ImageCount, 3);
  EXPECT_EQ(m.MaskType, 1);
  EXPECT_EQ(m.DrawMode, kDrawStretch);
  EXPECT_EQ(model.MaskFrameSize(i), Point(45, 42));
  const TsBorderWidths b = model.MaskBorderWidths(i);
  EXPECT_EQ(b.Left, 8);
  EXPECT_EQ(b.Top, 8);
  EXPECT_EQ(b.Right, 8);
  EXPECT_EQ(b.Bottom, 8);
  const SectionRecord& s = Section("BUTTON");
  EXPECT_EQ(s.Transparency, 100);
  EXPECT_TRUE(s.FadingEnabled);
  EXPECT_EQ(s.FadingIterations, 20);
  EXPECT_EQ(s.HotFontColor[0], 5289412);
}

TEST_F(SteamModel, HugeButtonComesFromItsOwnImage) {
  const int i = Mask("BUTTON_HUGE", "BORDERSMASK");
  ASSERT_GE(i, 0);
  const MaskRecord& m = model.Masks()[static_cast<std::size_t>(i)];
  ASSERT_TRUE(m.Bitmap);
  EXPECT_EQ(m.Source(), m.Bitmap.get());
  EXPECT_EQ(m.Bitmap->Width(), 288);
  EXPECT_EQ(m.Bitmap->Height(), 192);
  EXPECT_EQ(m.SourceRect, Rect(0, 0, 288, 192));
  EXPECT_EQ(m.DrawMode, kDrawCentre);
  EXPECT_EQ(model.MaskFrameSize(i), Point(96, 96));
  const TsBorderWidths b = model.MaskBorderWidths(i);
  EXPECT_EQ(b.Left, 32);
  EXPECT_EQ(b.Top, 32);
  EXPECT_EQ(b.Right, 32);
  EXPECT_EQ(b.Bottom, 32);
}

TEST_F(SteamModel, TabControlBottomInheritsEverything) {
  const SectionRecord& child = Section("TABCONTROLBOTTOM");
  const SectionRecord& parent = Section("PAGECONTROLBOTTOM");
  EXPECT_EQ(child.ParentClass, "PAGECONTROLBOTTOM");
  EXPECT_EQ(child.Color, parent.Color);
  EXPECT_EQ(child.HotColor, parent.HotColor);
  EXPECT_EQ(child.FontColor, parent.FontColor);
  EXPECT_EQ(child.GradientData, parent.GradientData);
  EXPECT_EQ(child.GradientArray.size(), parent.GradientArray.size());
  EXPECT_EQ(child.GradientPercent, 100);
  const int own = Mask("PAGECONTROLBOTTOM", "BORDERSMASK");
  ASSERT_GE(own, 0);
  EXPECT_EQ(Mask("TABCONTROLBOTTOM", "BORDERSMASK"), own);
  EXPECT_EQ(model.MaskIndex(-1, "TABCONTROLBOTTOM", "BORDERSMASK"), -1);  // no section to climb
}

TEST_F(SteamModel, GlyphsAndCachedIndexes) {
  const MaskRecord& close = MaskOf("GLOBALINFO", "BICONCLOSE");
  EXPECT_EQ(close.ImageType, itisaGlyph);
  EXPECT_EQ(close.FrameWidth(), 14);
  EXPECT_EQ(close.FrameHeight(), 12);
  EXPECT_EQ(MaskOf("COMBOBOX", "GLYPHMASK").FrameWidth(), 15);
  EXPECT_EQ(MaskOf("COMBOBOX", "GLYPHMASK").FrameHeight(), 18);
  const TsCachedIndexes& c = model.Cache();
  EXPECT_EQ(c.GlobalInfo, 0);
  EXPECT_EQ(c.ComboGlyph, Mask("COMBOBOX", "GLYPHMASK"));
  EXPECT_EQ(c.ComboBtn.Section, -1);  // the skin has no "COMBOBTN"
  EXPECT_EQ(c.CheckBoxChecked, Mask("GLOBALINFO", "BOXCHECKED"));
  EXPECT_GE(c.CheckBoxChecked, 0);
  EXPECT_EQ(c.ScrollBtns[TsCachedIndexes::sbTop].GlyphMask, Mask("SCROLLBTNTOP", "GLYPHMASK"));
  EXPECT_EQ(c.ScrollSliders[TsCachedIndexes::slV].BordersMask,
            Mask("SCROLLSLIDERV", "BORDERSMASK"));
  EXPECT_EQ(c.ScrollBars[TsCachedIndexes::sb1V].Section, model.SectionIndex("SCROLLBAR1V"));
  EXPECT_EQ(c.ScrollBars[TsCachedIndexes::sb1V].BordersMask, -1);
  EXPECT_EQ(c.Tabs[TsCachedIndexes::tsTop].BordersMask, Mask("TABTOP", "BORDERSMASK"));
  EXPECT_EQ(model.TextureIndex(model.SectionIndex("GRIPH"), "GRIPH", "PATTERN"),
            Mask("GRIPH", "PATTERN"));
  EXPECT_EQ(model.TextureIndex(model.SectionIndex("EDIT"), "EDIT", "BORDERSMASK"), -1);
  EXPECT_EQ(Mask("COMBOBOX", "HOTPATTERN"), -1);  // empty value
  model.Clear();
  EXPECT_EQ(model.SectionIndex("PANEL"), -1);
  EXPECT_EQ(model.Cache().GlobalInfo, -1);
  EXPECT_EQ(model.Cache().CheckBoxChecked, -1);
  EXPECT_EQ(model.GlobalColor(), ColorToRGB(clBtnFace));
  EXPECT_EQ(model.GlobalFontColor(), clFuchsia);
}

// Five sections of the program's skin give nothing but their parent class;
// their hot look (a button under the mouse) is the parent's.
TEST_F(SteamModel, SectionsWithOnlyAParentClassTakeItsHotLook) {
  const std::pair<const char*, const char*> children[] = {{"SPEEDBUTTON", "BUTTON"},
                                                          {"SPEEDBUTTON_SMALL", "BUTTON"},
                                                          {"BUTTON_BIG", "BUTTON"},
                                                          {"TOOLBUTTON", "BUTTON"},
                                                          {"RADIOBUTTON", "CHECKBOX"}};
  for (auto [name, parent_name] : children) {
    const SectionRecord& child = Section(name);
    const SectionRecord& parent = Section(parent_name);
    EXPECT_EQ(child.ParentClass, parent_name);
    EXPECT_EQ(child.HotTransparency, 100) << name;
    EXPECT_EQ(child.Transparency, 100) << name;
    EXPECT_EQ(child.HotColor, parent.HotColor) << name;
    EXPECT_EQ(child.HotFontColor, parent.HotFontColor) << name;
  }
}

// Every hot key, and the rest, reaches a section that gives none of them,
// two parents down.
TEST(SkinModel, EveryHotKeyIsInherited) {
  TMemIniFile ini(
      "[BASE]\r\nHOTCOLOR=11\r\nHOTTRANSPARENCY=22\r\nHOTBEVEL=3\r\n"
      "HOTGRADIENTPERCENT=44\r\nHOTGRADIENTDATA=1;2;30;1;0\r\nHOTIMAGEPERCENT=55\r\n"
      "HOTFONTCOLOR=66\r\nHOTTCLEFT=1\r\nHOTTCTOP=2\r\nHOTTCRIGHT=3\r\nHOTTCBOTTOM=4\r\n"
      "FADINGENABLED=TRUE\r\nSHOWFOCUS=TRUE\r\n"
      "[MIDDLE]\r\nPARENTCLASS=BASE\r\n"
      "[LEAF]\r\nPARENTCLASS=MIDDLE\r\n");
  TsSkinModel model;
  Build(model, ini);
  const SectionRecord& leaf = model.Sections().at(2);
  EXPECT_EQ(leaf.HotColor, 11);
  EXPECT_EQ(leaf.HotTransparency, 22);
  EXPECT_EQ(leaf.HotBevel, 3);
  EXPECT_EQ(leaf.HotGradientPercent, 44);
  EXPECT_EQ(leaf.HotGradientData, "1;2;30;1;0");
  ASSERT_EQ(leaf.HotGradientArray.size(), 1u);
  EXPECT_EQ(leaf.HotGradientArray[0].Percent, 30);
  EXPECT_EQ(leaf.HotImagePercent, 55);
  EXPECT_EQ(leaf.HotFontColor, (TsFontColors{66, 1, 2, 3, 4}));
  EXPECT_TRUE(leaf.FadingEnabled);
  EXPECT_TRUE(leaf.ShowFocus);
  EXPECT_EQ(leaf.ParentClass, "MIDDLE") << "the parent class itself is not inherited";
}

// An options text of `count` sections S0 .. S(count-1), each naming the one
// before it as parent (S0 names the last when `ring`).
std::string ChainText(int count, bool ring) {
  std::string text =
      "[S0]\r\nCOLOR=111\r\nHOTTRANSPARENCY=40\r\n"
      "BORDERSMASK=^0000^0000^0010^0010^0001^0001^0001^0001^1^0^1^1\r\n";
  if (ring) text += "PARENTCLASS=S" + std::to_string(count - 1) + "\r\n";
  for (int i = 1; i < count; ++i) {
    text += "[S" + std::to_string(i) + "]\r\nPARENTCLASS=S" + std::to_string(i - 1) + "\r\n";
    if (i == count / 2) text += "COLOR=222\r\n";
  }
  return text;
}

// Ten thousand sections, each the parent of the next: every one is resolved
// once, not once per section below it (which took minutes). The bound is
// loose on purpose; the benchmark has the figure.
TEST(SkinModel, ATenThousandDeepParentChainLoadsQuicklyAndInheritsThroughout) {
  constexpr int kDepth = 10000;
  TMemIniFile ini(ChainText(kDepth, false));
  TsSkinModel model;
  const auto start = std::chrono::steady_clock::now();
  Build(model, ini);
  const int deepest = model.SectionIndex("S9999");
  const int mask = model.MaskIndex(deepest, "S9999", "BORDERSMASK");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0);
  ASSERT_EQ(model.Sections().size(), static_cast<std::size_t>(kDepth));
  EXPECT_EQ(model.Sections()[static_cast<std::size_t>(deepest)].Color, 222);
  EXPECT_EQ(model.Sections()[kDepth / 2 - 1].Color, 111);
  EXPECT_EQ(model.Sections()[static_cast<std::size_t>(deepest)].HotTransparency, 40);
  EXPECT_EQ(mask, model.MaskIndex(0, "S0", "BORDERSMASK"));
  EXPECT_GE(mask, 0);
  EXPECT_EQ(model.ItemMasks(deepest).Borders, mask);
}

// The same sections in a ring: a loop, which the skin should not have, ends
// each chain where it closes and costs no more than the chain.
TEST(SkinModel, ATenThousandSectionLoopLoadsQuickly) {
  TMemIniFile ini(ChainText(10000, true));
  TsSkinModel model;
  const auto start = std::chrono::steady_clock::now();
  Build(model, ini);
  EXPECT_EQ(model.MaskIndex(model.SectionIndex("S4000"), "S4000", "BORDERSMASK"),
            model.MaskIndex(0, "S0", "BORDERSMASK"));
  EXPECT_EQ(model.MaskIndex(model.SectionIndex("S4000"), "S4000", "PATTERN"), -1);
  EXPECT_EQ(model.ItemMasks(model.SectionIndex("S4000")).Borders,
            model.MaskIndex(0, "S0", "BORDERSMASK"));
  EXPECT_EQ(model.ItemMasks(model.SectionIndex("S4000")).Corners[0], -1);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(model.Sections()[9999].Color, 222);
  EXPECT_EQ(model.Sections()[100].Color, 111);
}

// The masks the item painter takes for each section, found once for all,
// are those MaskIndex finds: through parents, where a chain loops, names
// itself or a missing parent, and again after the parents change.
TEST(SkinModel, EachSectionsItemMasksAreThoseItsLookUpsFind) {
  const std::string mask = "=^0000^0000^0010^0010^0001^0001^0001^0001^1^0^1^1\r\n";
  TMemIniFile ini("[BASE]\r\nIMGTOPLEFT" + mask + "BORDERSMASK" + mask +
                  "[MID]\r\nPARENTCLASS=BASE\r\nIMGBTMRIGHT" + mask +
                  "[LEAF]\r\nPARENTCLASS=MID\r\nIMGTOPRIGHT" + mask +
                  "[SELF]\r\nPARENTCLASS=SELF\r\n"
                  "[ORPHAN]\r\nPARENTCLASS=NOWHERE\r\n"
                  "[A]\r\nPARENTCLASS=B\r\n"
                  "[B]\r\nPARENTCLASS=A\r\nIMGBTMLEFT" +
                  mask +
                  "[C]\r\nPARENTCLASS=A\r\n"
                  "[D]\r\nPARENTCLASS=E\r\n"
                  "[E]\r\nPARENTCLASS=D\r\n");
  TsSkinModel model;
  Build(model, ini);
  auto check = [&model](const char* when) {
    int found = 0;
    for (std::size_t i = 0; i < model.Sections().size(); ++i) {
      const int s = static_cast<int>(i);
      const std::string& name = model.Sections()[i].SectionName;
      const TsSkinModel::TsItemMasks& m = model.ItemMasks(s);
      EXPECT_EQ(m.Borders, model.MaskIndex(s, name, "BORDERSMASK")) << when << " " << name;
      const char* keys[4] = {"IMGTOPLEFT", "IMGTOPRIGHT", "IMGBTMLEFT", "IMGBTMRIGHT"};
      for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(m.Corners[k], model.MaskIndex(s, name, keys[k])) << when << " " << name;
        found += m.Corners[k] >= 0;
      }
    }
    return found;
  };
  // BASE 1, MID 2, LEAF 3, A and B and C 1 each.
  EXPECT_EQ(check("built"), 9);
  const int leaf = model.SectionIndex("LEAF");
  EXPECT_GE(model.ItemMasks(leaf).Corners[0], 0);
  EXPECT_GE(model.ItemMasks(leaf).Borders, 0);
  for (int outside : {-1, static_cast<int>(model.Sections().size())}) {
    EXPECT_EQ(model.ItemMasks(outside).Borders, -1);
    EXPECT_EQ(model.ItemMasks(outside).Corners[3], -1);
  }
  model.Sections()[static_cast<std::size_t>(leaf)].ParentClass = "B";
  model.UpdateCache();
  EXPECT_EQ(check("reparented"), 8);
  EXPECT_EQ(model.ItemMasks(leaf).Borders, -1);
}

TEST(SkinModel, MoreSectionsThanTheBoundAreRefused) {
  std::string text;
  for (std::size_t i = 0; i <= kMaxSkinSections; ++i) text += "[S" + std::to_string(i) + "]\r\n";
  TMemIniFile ini(text);
  TsModelSource source;
  source.Options = &ini;
  source.Origin = "/skins/Many/Options.dat";
  TsSkinModel model;
  try {
    model.Build(source);
    FAIL() << "refused";
  } catch (const ESkinRefused& e) {
    EXPECT_EQ(e.Message(), "Skin file \"/skins/Many/Options.dat\" has more than 16384 sections");
  }
  EXPECT_TRUE(model.Sections().empty());
  // One fewer is a skin.
  text.erase(text.rfind('['));
  ini.SetText(text);
  model.Build(source);
  EXPECT_EQ(model.Sections().size(), kMaxSkinSections);
}

TEST(SkinModel, MinusOneIsMissingAndInherited) {
  TMemIniFile ini(
      "[BASE]\r\nCOLOR=255\r\nTRANSPARENCY=40\r\nSHADOWCOLOR=7\r\n"
      "[CHILD]\r\nPARENTCLASS=BASE\r\nCOLOR=-1\r\nTRANSPARENCY=x\r\n"
      "[LONE]\r\nCOLOR=-1\r\nPARENTCLASS=LONE\r\n");
  TsSkinModel model;
  Build(model, ini);
  const SectionRecord& child = model.Sections()[1];
  EXPECT_EQ(child.Color, 255);
  EXPECT_EQ(child.Transparency, 40);               // not a number: read as missing
  EXPECT_EQ(child.ShadowColor, 0);                 // not inherited
  EXPECT_EQ(model.Sections()[2].Color, 0xFFFFFF);  // itself as parent: the default
}

TEST(SkinModel, LoopingParentsEndTheLookups) {
  TMemIniFile ini(
      "[A]\r\nPARENTCLASS=B\r\n[B]\r\nPARENTCLASS=C\r\n[C]\r\nPARENTCLASS=A\r\n"
      "FONTCOLOR=9\r\n");
  TsSkinModel model;
  Build(model, ini);
  ASSERT_EQ(model.Sections().size(), 3u);
  EXPECT_EQ(model.Sections()[0].FontColor[0], 9);
  EXPECT_EQ(model.Sections()[0].Color, 0xFFFFFF);
  EXPECT_EQ(model.MaskIndex(0, "A", "BORDERSMASK"), -1);
}

TEST(SkinModel, SystemColoursAreResolved) {
  TMemIniFile ini(Format("[S]\r\nCOLOR=%d\r\n", clBtnFace));
  TsSkinModel model;
  Build(model, ini);
  EXPECT_EQ(model.Sections()[0].Color, ColorToRGB(clBtnFace));
}

TEST(SkinModel, CommonSectionsOverrideKeyByKey) {
  TMemIniFile ini(
      "[GLOBALINFO]\r\nCOLOR=1\r\n[PANEL]\r\nCOLOR=2\r\nFONTCOLOR=3\r\n"
      "TRANSPARENCY=10\r\n");
  TMemIniFile common(
      "[GLOBALINFO]\r\nCOLOR=99\r\n[PANEL]\r\nFONTCOLOR=30\r\n"
      "[EXTRA]\r\nHOTCOLOR=5\r\n");
  TsSkinModel model;
  Build(model, ini, &common);
  ASSERT_EQ(model.Sections().size(), 3u);
  EXPECT_EQ(model.Sections()[0].Color, 1);  // GLOBALINFO is not overridden
  const SectionRecord& panel = model.Sections()[1];
  EXPECT_EQ(panel.Color, 2);
  EXPECT_EQ(panel.FontColor[0], 30);
  EXPECT_EQ(panel.Transparency, 10);
  const SectionRecord& extra = model.Sections()[2];
  EXPECT_EQ(extra.SectionName, "EXTRA");
  EXPECT_EQ(extra.HotColor, 5);
  EXPECT_EQ(extra.Color, 0xFFFFFF);
  EXPECT_EQ(extra.FadingIterations, 5);
}

TEST(SkinModel, ShadowValuesMustBeNumbers) {
  TMemIniFile ini("[GLOBALINFO]\r\nSHADOW1BLUR=soft\r\n[PANEL]\r\nCOLOR=2\r\n");
  TsSkinModel model;
  EXPECT_THROW(Build(model, ini), EConvertError);
  EXPECT_TRUE(model.Sections().empty());
}

// A skin folder on disk with one 60 x 40 image, "piece.bmp" (the options
// name it in upper case).
class SkinFolder : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sonarix-model-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = std::string(tmpl) + "/";
    TsPixels px;
    px.Width = 60;
    px.Height = 40;
    px.Bgr.assign(60 * 40 * 3, 0x80);
    const std::vector<std::uint8_t> bmp = EncodeBmp24(px);
    std::ofstream(dir_ + "piece.bmp", std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void BuildFrom(const TMemIniFile& ini, const TMemIniFile* common = nullptr) {
    TsModelSource s;
    s.Options = &ini;
    s.SkinPath = dir_;
    s.CommonSections = common;
    model.Build(s);
  }
  const MaskRecord* Find(const std::string& section, const std::string& key) {
    const int i = model.MaskIndex(model.SectionIndex(section), section, key);
    return i < 0 ? nullptr : &model.Masks()[static_cast<std::size_t>(i)];
  }

  std::string dir_;
  TsSkinModel model;
};

TEST_F(SkinFolder, AWholeBitmapIsAThreeFrameMaskInTheSkinAndInCommonSections) {
  TMemIniFile ini(
      "[A]\r\nBORDERSMASK=PIECE.BMP\r\nMISSING=GONE.BMP\r\n"
      "OWN=!PIECE.BMP!2!0!0\r\nCUT=PIECE.BMP#0#0#30#20#1#0\r\n");
  TMemIniFile common("[B]\r\nBORDERSMASK=PIECE.BMP\r\nCUT=PIECE.BMP#0#0#30#20#1#0\r\n");
  BuildFrom(ini, &common);
  for (const char* section : {"A", "B"}) {
    const MaskRecord* m = Find(section, "BORDERSMASK");
    ASSERT_NE(m, nullptr) << section;
    ASSERT_TRUE(m->Bitmap);
    EXPECT_EQ(m->SourceRect, Rect(0, 0, 60, 40));
    EXPECT_EQ(m->ImageCount, 3);
    EXPECT_EQ(m->MaskType, 1);
    EXPECT_EQ(m->ImageType, itisaBorder);
    // A third of a 20 x 20 frame.
    EXPECT_EQ(m->LeftWidth, 6);
    EXPECT_EQ(m->TopWidth, 6);
  }
  EXPECT_EQ(Find("A", "MISSING"), nullptr);
  // "!": the whole image with the value's own counts, centre drawn.
  const MaskRecord* own = Find("A", "OWN");
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->SourceRect, Rect(0, 0, 60, 40));
  EXPECT_EQ(own->ImageCount, 2);
  EXPECT_EQ(own->DrawMode, kDrawCentre);
  EXPECT_EQ(own->LeftWidth, 10);
  // "#": a piece cut from the named image; common sections take only plain names.
  const MaskRecord* cut = Find("A", "CUT");
  ASSERT_NE(cut, nullptr);
  ASSERT_TRUE(cut->Bitmap);
  EXPECT_EQ(cut->SourceRect, Rect(0, 0, 30, 20));
  EXPECT_EQ(Find("B", "CUT"), nullptr);
}

TEST_F(SkinFolder, ABuildThatFailsLeavesNothingBehind) {
  TMemIniFile good("[GLOBALINFO]\r\nMASTERBITMAP=PIECE.BMP\r\n[A]\r\nBORDERSMASK=PIECE.BMP\r\n");
  BuildFrom(good);
  ASSERT_NE(model.MasterBitmap(), nullptr);
  ASSERT_EQ(model.Masks().size(), 1u);
  ASSERT_GE(model.Cache().GlobalInfo, 0);
  // The master bitmap and the first piece are read before the broken value.
  TMemIniFile broken(
      "[GLOBALINFO]\r\nMASTERBITMAP=PIECE.BMP\r\n[A]\r\nBORDERSMASK=PIECE.BMP\r\n"
      "[B]\r\nBORDERSMASK=^00x0\r\n");
  EXPECT_THROW(BuildFrom(broken), EConvertError);
  EXPECT_EQ(model.MasterBitmap(), nullptr);
  EXPECT_TRUE(model.Masks().empty());
  EXPECT_TRUE(model.Sections().empty());
  EXPECT_EQ(model.Cache().GlobalInfo, -1);
}

TEST(SkinModel, MaskValues) {
  MaskRecord m;
  ASSERT_TRUE(ParseMaskValue("^0000^0169^0135^0253^0008^0008^0008^0008^3^1^1^1", m));
  EXPECT_EQ(m.SourceRect, Rect(0, 169, 135, 253));
  EXPECT_EQ(m.BorderWidth, 1);
  // No widths and no border width: a third of a frame.
  ASSERT_TRUE(ParseMaskValue("^0090^0024^0108^0042^0000^0000^0000^0000^1^0^5^0", m));
  EXPECT_EQ(m.LeftWidth, 6);
  EXPECT_EQ(m.TopWidth, 6);
  EXPECT_EQ(m.DrawMode, 5);
  ASSERT_TRUE(ParseMaskValue("@0120@0131@0134@0145@1@0", m));
  EXPECT_EQ(m.ImageType, itisaGlyph);
  EXPECT_EQ(m.ImageCount, 1);
  ASSERT_TRUE(ParseMaskValue("~0120~0304~0126~0310~11", m));
  EXPECT_EQ(m.ImageType, itisaTexture);
  EXPECT_EQ(m.DrawMode, 11);
  EXPECT_EQ(m.MaskType, 0);
  ASSERT_TRUE(ParseMaskValue("~0120~0304~0126~0310~10~1", m));
  EXPECT_EQ(m.MaskType, 1);
  // Zero frames would divide by zero later: one frame.
  ASSERT_TRUE(ParseMaskValue("@0000@0000@0010@0010@0@0", m));
  EXPECT_EQ(m.ImageCount, 1);
  EXPECT_FALSE(ParseMaskValue("PLAIN", m));
  EXPECT_FALSE(ParseMaskValue("@0010@0000@0000@0010@1@0", m));  // right before left
}

TEST(SkinModel, ShortOrBrokenMaskValuesAreConversionErrors) {
  MaskRecord m;
  for (const char* bad :
       {"^", "^0000^0169^0135^0253^0008^0008^0008^0008^3^1^1", "@0000@0151@0045",
        "@0000@0151@0045@0169@3@", "~0120~0304~0126~0310~0", "^00x0", "@0000@0151@0045@0169@3@-"}) {
    EXPECT_THROW(ParseMaskValue(bad, m), EConvertError) << bad;
  }
  TMemIniFile ini("[EDIT]\r\nBORDERSMASK=^0045^0045\r\n");
  TsSkinModel model;
  EXPECT_THROW(Build(model, ini), EConvertError);
}

TEST(SkinModel, ExternalMaskValues) {
  TsExternalMask e;
  ASSERT_TRUE(ParseExternalMask("!ButtonHuge.bmp!3!1!0", e));
  EXPECT_EQ(e.FileName, "BUTTONHUGE.BMP");
  EXPECT_FALSE(e.HasWidths);
  ASSERT_TRUE(ParseExternalMask("!A.BMP!2!0!1!4!5!6!7", e));
  EXPECT_EQ(e.ImageType, itisaTexture);
  EXPECT_EQ(e.Widths, (std::array<int, 4>{4, 5, 6, 7}));
  EXPECT_FALSE(ParseExternalMask("!A.PNG!3!1!0", e));
  EXPECT_FALSE(ParseExternalMask("!A.BMP!3!1", e));
  EXPECT_FALSE(ParseExternalMask("!A.BMP!3!1!7", e));
  EXPECT_THROW(ParseExternalMask("!A.BMP!three!1!0", e), EConvertError);
}

TEST(SkinModel, Gradients) {
  EXPECT_TRUE(ParseGradient("N/A").empty());
  EXPECT_TRUE(ParseGradient("").empty());
  EXPECT_TRUE(ParseGradient(" ").empty());
  const auto g = ParseGradient("1;2;250;1;0;3;4;-5;0;0;7;8");
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].Percent, 100);
  EXPECT_EQ(g[0].Mode, 1);
  EXPECT_EQ(g[1].Color1, 3);
  EXPECT_EQ(g[1].Percent, 0);
}

TEST(SkinModel, HueAndSaturationLeaveGreysAndTheKeyAlone) {
  EXPECT_EQ(ShiftColor(0x464646, 120, 50), 0x464646);
  EXPECT_EQ(ShiftColor(clFuchsia, 120, 0), clFuchsia);
  EXPECT_EQ(ShiftColor(-1, 120, 0), -1);
  EXPECT_EQ(ShiftColor(RGB(255, 0, 0), 120, 0), RGB(0, 255, 0));
  EXPECT_EQ(ShiftColor(RGB(255, 0, 0), -120, 0), RGB(0, 0, 255));
  EXPECT_EQ(ShiftColor(RGB(200, 100, 100), 0, -100), RGB(150, 150, 150));
  EXPECT_EQ(ShiftColor(RGB(200, 100, 100), 360, 0), RGB(200, 100, 100));
}

TEST_F(SteamModel, HueShiftRecoloursImagesAndSections) {
  TsModelSource source;
  source.Options = &ini;
  source.Archive = &archive;
  source.HueOffset = 180;
  TsSkinModel shifted;
  shifted.Build(source);
  const int title = model.SectionIndex("FORMTITLE");
  EXPECT_EQ(shifted.Sections()[title].Color, ShiftColor(model.Sections()[title].Color, 180, 0));
  EXPECT_NE(shifted.Sections()[title].Color, model.Sections()[title].Color);
  EXPECT_EQ(shifted.Sections()[0].Color, model.Sections()[0].Color);  // grey
  int changed = 0, greys_changed = 0;
  for (int y = 0; y < 400; ++y) {
    const std::uint8_t* a = model.MasterBitmap()->ScanLine(y);
    const std::uint8_t* b = shifted.MasterBitmap()->ScanLine(y);
    for (int x = 0; x < 189 * 3; x += 3) {
      const bool grey = a[x] == a[x + 1] && a[x + 1] == a[x + 2];
      const bool key = a[x] == 255 && a[x + 1] == 0 && a[x + 2] == 255;
      const bool differs = a[x] != b[x] || a[x + 1] != b[x + 1] || a[x + 2] != b[x + 2];
      if (differs) ++changed;
      if (differs && (grey || key)) ++greys_changed;
    }
  }
  EXPECT_GT(changed, 1000);
  EXPECT_EQ(greys_changed, 0);
}
