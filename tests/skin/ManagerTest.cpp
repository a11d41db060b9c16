// The skin manager: finding the skin (internal, packed file, folder), the
// loading bracket, SkinInfo, Active, CommonSections and the folder rules.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "skin/HueSaturation.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinManager.h"
#include "toolkit/SysUtils.h"

namespace fs = std::filesystem;

namespace {
// A folder of its own for each test, removed afterwards.
class TTempFolder {
 public:
  TTempFolder() {
    char tmpl[] = "/tmp/sonarix-skin-XXXXXX";
    path_ = mkdtemp(tmpl);
    path_ += "/";
  }
  ~TTempFolder() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void AddSteam(TsSkinManager& m) {
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName(kSteamSkinName);
  s.SetData(kSteamSkinData, kSteamSkinDataSize);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string SteamSource() {
  return std::string(SONARIX_SOURCE_DIR) + "/skins/steam/";
}
}  // namespace

TEST(SkinDirectory, Rules) {
  const std::string app = "/opt/sonarix/bin/";
  EXPECT_EQ(ResolveSkinDirectory("./Skins", app), "/opt/sonarix/bin/Skins/");
  EXPECT_EQ(ResolveSkinDirectory(".\\Skins", app), "/opt/sonarix/bin/Skins/");
  EXPECT_EQ(ResolveSkinDirectory("Skins", app), "/opt/sonarix/bin/Skins/");
  EXPECT_EQ(ResolveSkinDirectory("Skins/Dark/", app), "/opt/sonarix/bin/Skins/Dark/");
  EXPECT_EQ(ResolveSkinDirectory("../Skins", app), "/opt/sonarix/Skins/");
  EXPECT_EQ(ResolveSkinDirectory("..\\Skins\\", app), "/opt/sonarix/Skins/");
  EXPECT_EQ(ResolveSkinDirectory("/usr/share/skins", app), "/usr/share/skins/");
  EXPECT_EQ(ResolveSkinDirectory("/usr/share/skins/", app), "/usr/share/skins/");
  // A drive name cannot be taken relative to anything: it stays as it is.
  EXPECT_EQ(ResolveSkinDirectory("c:\\Skins", app), "c:/Skins/");
  EXPECT_EQ(ResolveSkinDirectory("s", app), "/opt/sonarix/bin/s/");
  EXPECT_EQ(ResolveSkinDirectory("", app), "/opt/sonarix/bin/");
}

TEST(SkinManager, DefaultsAndDefaultManager) {
  ASSERT_EQ(DefaultManager(), nullptr);
  {
    TsSkinManager m(nullptr);
    EXPECT_EQ(DefaultManager(), &m);
    EXPECT_TRUE(m.IsDefault());
    EXPECT_TRUE(m.Active());
    EXPECT_TRUE(m.SkinnedPopups());
    EXPECT_EQ(m.SkinDirectory(), "c:\\Skins");
    EXPECT_EQ(m.Version(), "5.65");
    EXPECT_EQ(m.SkinInfo(), "N/A");
    EXPECT_EQ(m.SkinningRules(), srStdForms | srStdDialogs | srThirdParty);
    EXPECT_EQ(m.AnimEffects().DialogShow.Time(), 100);
    EXPECT_EQ(m.AnimEffects().SkinChanging.Time(), 100);
    EXPECT_EQ(m.MenuSupport().ExtraLineWidth(), 32);
    EXPECT_EQ(m.ThirdParty().ThirdButtons(), "TButton");
    EXPECT_EQ(m.ThirdParty().Names(tpEdits).size(), 9u);
    {
      TsSkinManager second(nullptr);
      EXPECT_FALSE(second.IsDefault());
      second.SetIsDefault(false);  // not default, stays so
      EXPECT_EQ(DefaultManager(), &m);
      second.SetIsDefault(true);
      EXPECT_EQ(DefaultManager(), &second);
    }
    EXPECT_EQ(DefaultManager(), nullptr);  // the default went with it
    m.SetIsDefault(true);
    EXPECT_EQ(DefaultManager(), &m);
  }
  EXPECT_EQ(DefaultManager(), nullptr);
}

TEST(SkinManager, LoadsTheInternalSkinWhileReadingAndAnnouncesItAfterwards) {
  TsSkinManager m(nullptr);
  m.BeginLoading();
  AddSteam(m);
  m.SetSkinDirectory("D:\\Delphi\\Skins");
  m.SetSkinName("Steam (internal)");
  // Read already, but not yet announced.
  EXPECT_EQ(m.Model().Sections().size(), 60u);
  EXPECT_TRUE(m.Packed());
  EXPECT_EQ(m.SkinInfo(), "N/A");
  EXPECT_TRUE(m.MenuSupport().IcoLineSkin().empty());
  m.EndLoading();
  EXPECT_EQ(m.SkinInfo(), "5.41");
  EXPECT_EQ(m.MenuSupport().IcoLineSkin(), "ICOLINE");
  EXPECT_EQ(m.SectionIndex("PANEL"), 11);
  EXPECT_TRUE(m.SkinData().SkinPath.empty());
  EXPECT_EQ(m.GlobalColor(), 4605510);
  EXPECT_FALSE(SkinLoading());
  EXPECT_FALSE(ApplyingSkin());
}

TEST(SkinManager, UnknownNameFallsBackToTheFirstInternalSkin) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinDirectory("/nonexistent/skins");
  int before = 0, after = 0;
  m.OnBeforeChange = [&before](TObject*) { ++before; };
  m.OnAfterChange = [&after](TObject*) { ++after; };
  m.SetSkinName("Aqua");
  EXPECT_EQ(m.SkinName(), "Steam (internal)");
  EXPECT_EQ(m.SkinInfo(), "5.41");
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
}

TEST(SkinManager, NoSkinAnywhereSwitchesOff) {
  TsSkinManager m(nullptr);
  m.SetSkinDirectory("/nonexistent/skins");
  m.SetSkinName("Aqua");
  EXPECT_FALSE(m.Active());
  EXPECT_EQ(m.SkinInfo(), "N/A");
  EXPECT_EQ(m.SectionIndex("PANEL"), -1);
}

TEST(SkinManager, ActiveOffAndOnReloads) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinName("Steam (internal)");
  int loads = 0;
  m.OnAfterChange = [&loads](TObject*) { ++loads; };
  m.SetActive(false);
  EXPECT_EQ(m.SkinInfo(), "N/A");
  EXPECT_EQ(m.SectionIndex("PANEL"), -1);
  EXPECT_EQ(m.Model().Cache().GlobalInfo, -1);
  m.SetActive(false);  // unchanged: nothing happens
  EXPECT_EQ(loads, 0);
  m.SetActive(true);
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(m.SkinInfo(), "5.41");
  EXPECT_EQ(m.Model().Sections().size(), 60u);
  EXPECT_EQ(m.Model().Cache().GlobalInfo, 0);
}

TEST(SkinManager, CommonSectionsOverrideKeyByKey) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinName("Steam (internal)");
  const SectionRecord before = m.Model().Sections()[11];
  m.SetCommonSections(
      {"[PANEL]   ", "FONTCOLOR=255  ", "; a comment  ", "[MYSECTION]", "COLOR=123"});
  EXPECT_EQ(m.CommonSections()[0], "[PANEL]");
  EXPECT_EQ(m.CommonSections()[2], "; a comment  ");
  const SectionRecord& panel = m.Model().Sections()[11];
  EXPECT_EQ(panel.SectionName, "PANEL");
  EXPECT_EQ(panel.FontColor[0], 255);
  EXPECT_EQ(panel.GradientArray.size(), before.GradientArray.size());
  EXPECT_EQ(panel.Color, before.Color);
  ASSERT_EQ(m.Model().Sections().size(), 61u);
  EXPECT_EQ(m.Model().Sections().back().SectionName, "MYSECTION");
  EXPECT_EQ(m.Model().Sections().back().Color, 123);
  EXPECT_EQ(m.SkinInfo(), "5.41");
}

TEST(SkinManager, HueOffsetReloadsTheSkin) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinName("Steam (internal)");
  const int title = m.SectionIndex("FORMTITLE");
  const TColor plain = m.Model().Sections()[title].Color;
  m.SetHueOffset(90);
  EXPECT_EQ(m.Model().Sections()[title].Color, ShiftColor(plain, 90, 0));
  m.SetSaturation(-100);
  const TColor grey = m.Model().Sections()[title].Color;
  EXPECT_EQ(GetRValue(grey), GetGValue(grey));
  EXPECT_EQ(GetGValue(grey), GetBValue(grey));
  m.SetHueOffset(0);
  m.SetSaturation(0);
  EXPECT_EQ(m.Model().Sections()[title].Color, plain);
}

TEST(SkinManager, UnpackedFolderWinsOverTheInternalSkinAndFindsItsImages) {
  TTempFolder dir;
  fs::create_directory(dir.Path() + "Steam (internal)");
  for (const char* f : {"Options.dat", "Master.bmp", "ButtonHuge.bmp"}) {
    fs::copy_file(SteamSource() + f, dir.Path() + "Steam (internal)/" + f);
  }
  fs::create_directory(dir.Path() + "Empty");
  fs::create_directory(dir.Path() + ".hidden");
  WriteFile(dir.Path() + ".hidden/Options.dat", "[A]");
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinDirectory(dir.Path());
  m.SetSkinName("Steam (internal)");
  EXPECT_FALSE(m.Packed());
  EXPECT_EQ(m.SkinData().SkinPath, dir.Path() + "Steam (internal)/");
  // "MASTER.BMP" and "BUTTONHUGE.BMP" are found although the files are named
  // in mixed case.
  ASSERT_NE(m.Model().MasterBitmap(), nullptr);
  const int huge = m.MaskIndex(m.SectionIndex("BUTTON_HUGE"), "BUTTON_HUGE", "BORDERSMASK");
  EXPECT_GE(huge, 0);
  std::string first;
  EXPECT_EQ(m.SkinNames(slBoth, &first), std::vector<std::string>({"Steam (internal)"}));
  EXPECT_EQ(first, "Steam (internal)");
}

TEST(SkinManager, PackedFileIsTakenFirstAndListed) {
  TTempFolder dir;
  WriteFile(dir.Path() + "Olive.lsz",
            std::string(reinterpret_cast<const char*>(kSteamSkinData), kSteamSkinDataSize));
  WriteFile(dir.Path() + "notes.txt", "x");
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinDirectory(dir.Path());
  m.SetSkinName("Olive");
  EXPECT_EQ(m.SkinName(), "Olive");
  EXPECT_TRUE(m.Packed());
  EXPECT_EQ(m.SkinData().SkinPath, dir.Path());
  EXPECT_EQ(m.SkinInfo(), "5.41");
  EXPECT_EQ(m.SkinNames(slPacked), std::vector<std::string>({"Olive", "Steam (internal)"}));
  EXPECT_EQ(m.SkinNames(slUnpacked), std::vector<std::string>({"Steam (internal)"}));
}

TEST(SkinManager, DamagedSkinEndsTheLoadWithoutASkin) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinName("Steam (internal)");
  TsStoredSkin& broken = m.InternalSkins().Add();
  broken.SetName("Broken");
  std::vector<std::uint8_t> data(kSteamSkinData, kSteamSkinData + kSteamSkinDataSize / 2);
  broken.SetData(std::move(data));
  EXPECT_THROW(m.SetSkinName("Broken"), EReadError);
  EXPECT_EQ(m.SkinInfo(), "N/A");
  EXPECT_EQ(m.SectionIndex("PANEL"), -1);
  EXPECT_FALSE(SkinLoading());
  m.SetSkinName("Steam (internal)");
  EXPECT_EQ(m.SkinInfo(), "5.41");
}

TEST(SkinManager, StoredCollectionsWhenThereIsNoData) {
  TsSkinManager m(nullptr);
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName("Old");
  s.Version = 2.5;
  TsSkinGeneral& g = s.GeneralData().emplace_back();
  g.Record.SectionName = "PANEL";
  g.Record.GradientData = "1;2;50;0;0";
  g.SetFontColor("10 11 12 13 14");
  g.SetHotFontColor("7");
  TsSkinImage& i = s.Images().emplace_back();
  i.Record.SectionName = "PANEL";
  i.Record.PropertyName = "BORDERSMASK";
  i.Record.SourceRect = {0, 0, 30, 20};
  m.SetSkinName("Old");
  EXPECT_FALSE(m.Packed());
  EXPECT_EQ(m.SkinInfo(), "2.5");
  const SectionRecord& r = m.Model().Sections().at(0);
  EXPECT_EQ(r.FontColor, (TsFontColors{10, 11, 12, 13, 14}));
  EXPECT_EQ(r.HotFontColor, (TsFontColors{7, -1, -1, -1, -1}));
  EXPECT_EQ(r.GradientArray.size(), 1u);
  EXPECT_EQ(m.MaskIndex(0, "PANEL", "BORDERSMASK"), 0);
  EXPECT_EQ(m.Model().Masks()[0].Model, &m.Model());
}
