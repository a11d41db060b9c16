// The skin manager: finding the skin (internal, packed file, folder), the
// loading bracket, SkinInfo, Active, CommonSections and the folder rules.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "skin/HueSaturation.h"
#include "skin/SkinLimits.h"
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
  // A drive names no folder on this system (taken as it stands, it would be
  // a folder under whatever folder the program was started from).
  for (const char* drive : {"c:\\Skins", "D:\\Sonarix\\Skins", "D:", "d:Skins", "D:/x/"})
    EXPECT_EQ(ResolveSkinDirectory(drive, app), "") << drive;
  EXPECT_EQ(ResolveSkinDirectory("../Skins:1", app), "/opt/sonarix/Skins:1/")
      << "a colon further on is part of a name";
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

// --- skins from outside: each bound refuses the skin with a message naming
// the file and the bound, and the internal skin is used instead.

namespace {
// Loads the skin `name` from `folder` and expects the refusal `message`
// (raised after the internal skin has been put in force).
void ExpectRefusedForTheInternalSkin(const std::string& folder, const std::string& name,
                                     const std::string& message) {
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinDirectory(folder);
  m.SetSkinName("Steam (internal)");
  try {
    m.SetSkinName(name);
    ADD_FAILURE() << name << " was not refused";
  } catch (const ESkinRefused& e) {
    EXPECT_EQ(e.Message(), message);
  }
  EXPECT_EQ(m.SkinName(), "Steam (internal)") << name;
  EXPECT_EQ(m.SkinInfo(), "5.41") << name;
  EXPECT_TRUE(m.Packed());
  EXPECT_EQ(m.SkinData().SkinPath, "");
  EXPECT_EQ(m.Model().Sections().size(), 60u);
  EXPECT_FALSE(SkinLoading());
}

std::vector<std::uint8_t> Zeros(std::size_t n) {
  return std::vector<std::uint8_t>(n, 0);
}
}  // namespace

TEST(SkinManager, APackedSkinThatUnpacksBeyondTheBoundIsRefused) {
  TTempFolder dir;
  // About 100 kB that claim 80 MB.
  std::vector<TsArchiveEntry> entries = {{"Options.dat", false, {}}};
  for (int i = 0; i < 4; ++i) entries.push_back({Format("Big%d.bmp", i), true, Zeros(20 << 20)});
  const std::vector<std::uint8_t> packed = PackSkinArchive(entries);
  ASSERT_LT(packed.size(), 200000u);
  WriteFile(dir.Path() + "Bomb.lsz", std::string(packed.begin(), packed.end()));
  ExpectRefusedForTheInternalSkin(
      dir.Path(), "Bomb",
      "Skin file \"" + dir.Path() + "Bomb.lsz\" unpacks to more than 67108864 bytes");
}

TEST(SkinArchive, EntriesTogetherMayUnpackToTheBoundAndNoMore) {
  std::vector<TsArchiveEntry> entries = {{"Options.dat", false, {}}};
  for (int i = 0; i < 4; ++i) entries.push_back({Format("Part%d.bmp", i), true, Zeros(16 << 20)});
  std::vector<std::uint8_t> packed = PackSkinArchive(entries);
  TsSkinArchive archive;
  archive.LoadFromMemory(packed.data(), packed.size(), nullptr, "four.lsz");
  EXPECT_EQ(archive.Images().size(), 4u) << "exactly 64 MB";
  entries.push_back({"One.bmp", true, Zeros(1)});
  packed = PackSkinArchive(entries);
  try {
    archive.LoadFromMemory(packed.data(), packed.size(), nullptr, "five.lsz");
    FAIL() << "one byte more is refused";
  } catch (const ESkinRefused& e) {
    EXPECT_EQ(e.Message(), "Skin file \"five.lsz\" unpacks to more than 67108864 bytes");
  }
  EXPECT_TRUE(archive.Images().empty());
}

TEST(SkinManager, OnlyRegularFilesAreRead) {
  TTempFolder dir;
  // A named pipe as the packed skin: opening it for reading would wait for
  // a writer for ever.
  ASSERT_EQ(::mkfifo((dir.Path() + "Pipe.lsz").c_str(), 0600), 0);
  ExpectRefusedForTheInternalSkin(dir.Path(), "Pipe",
                                  "Skin file \"" + dir.Path() + "Pipe.lsz\" is not a regular file");

  // A skin folder whose options name a device as the master bitmap: reading
  // it would never end.
  fs::create_directory(dir.Path() + "Zero");
  WriteFile(dir.Path() + "Zero/Options.dat",
            "[GLOBALINFO]\r\nMASTERBITMAP=/dev/zero\r\n[PANEL]\r\nCOLOR=1\r\n");
  ExpectRefusedForTheInternalSkin(dir.Path(), "Zero",
                                  "Skin file \"/dev/zero\" is not a regular file");

  // A named pipe as an image of the folder, and as its options file.
  fs::create_directory(dir.Path() + "Piped");
  WriteFile(dir.Path() + "Piped/Options.dat", "[GLOBALINFO]\r\nMASTERBITMAP=MASTER.BMP\r\n");
  ASSERT_EQ(::mkfifo((dir.Path() + "Piped/Master.bmp").c_str(), 0600), 0);
  ExpectRefusedForTheInternalSkin(
      dir.Path(), "Piped",
      "Skin file \"" + dir.Path() + "Piped/Master.bmp\" is not a regular file");
  fs::create_directory(dir.Path() + "NoText");
  ASSERT_EQ(::mkfifo((dir.Path() + "NoText/Options.dat").c_str(), 0600), 0);
  ExpectRefusedForTheInternalSkin(
      dir.Path(), "NoText",
      "Skin file \"" + dir.Path() + "NoText/Options.dat\" is not a regular file");
}

TEST(SkinManager, AFileLargerThanTheBoundIsRefusedUnread) {
  TTempFolder dir;
  // Sparse: it takes no room, but says 65 MB.
  WriteFile(dir.Path() + "Huge.lsz", "LSzf");
  fs::resize_file(dir.Path() + "Huge.lsz", 65 << 20);
  ExpectRefusedForTheInternalSkin(
      dir.Path(), "Huge", "Skin file \"" + dir.Path() + "Huge.lsz\" is larger than 67108864 bytes");
}

TEST(SkinManager, AFolderWithTooManySectionsIsRefused) {
  TTempFolder dir;
  fs::create_directory(dir.Path() + "Many");
  std::string text;
  for (std::size_t i = 0; i <= kMaxSkinSections; ++i) text += Format("[S%zu]\r\n", i);
  WriteFile(dir.Path() + "Many/Options.dat", text);
  ExpectRefusedForTheInternalSkin(
      dir.Path(), "Many",
      "Skin file \"" + dir.Path() + "Many/Options.dat\" has more than 16384 sections");
}

// A skin folder on a drive of another system: nothing is looked for, in the
// folder the program was started from or anywhere else.
TEST(SkinManager, AFolderOnADriveNamesNothingHere) {
  TTempFolder dir;
  fs::create_directories(dir.Path() + "D:/Skins/Olive");
  WriteFile(dir.Path() + "D:/Skins/Olive/Options.dat", "[PANEL]\r\nCOLOR=1\r\n");
  WriteFile(dir.Path() + "D:/Skins/Other.lsz",
            std::string(reinterpret_cast<const char*>(kSteamSkinData), kSteamSkinDataSize));
  // Images of common sections are not looked for there either.
  fs::copy_file(SteamSource() + "ButtonHuge.bmp", dir.Path() + "EXTRA.BMP");
  const fs::path before = fs::current_path();
  fs::current_path(dir.Path());
  TsSkinManager m(nullptr);
  AddSteam(m);
  m.SetSkinDirectory("D:\\Skins");
  m.SetCommonSections({"[EXTRA]", "BORDERSMASK=EXTRA.BMP"});
  m.SetSkinName("Olive");
  EXPECT_EQ(m.SkinName(), "Steam (internal)");
  EXPECT_EQ(m.Model().Sections().size(), 61u) << "the internal skin and the common section";
  EXPECT_EQ(m.MaskIndex(m.SectionIndex("EXTRA"), "EXTRA", "BORDERSMASK"), -1);
  m.SetSkinName("Other");
  EXPECT_EQ(m.SkinName(), "Steam (internal)");
  EXPECT_EQ(m.SkinNames(slBoth), std::vector<std::string>({"Steam (internal)"}));
  EXPECT_EQ(m.ResolvedSkinDirectory(), "");
  fs::current_path(before);
}
