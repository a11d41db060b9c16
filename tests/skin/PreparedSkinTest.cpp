// A stored skin built ahead on another thread: the first load takes it when
// it would have built the same model, and builds the skin itself otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "skin/SteamSkin.h"
#include "skin/sSkinManager.h"
#include "toolkit/SysUtils.h"

namespace {

void AddStored(TsSkinManager& m, const std::string& name, std::vector<std::uint8_t> data) {
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName(name);
  s.SetData(std::move(data));
}

std::vector<std::uint8_t> SteamBytes() {
  return {kSteamSkinData, kSteamSkinData + kSteamSkinDataSize};
}

// A manager that loads the Steam skin, with a hue offset set first when one
// is given.
struct TSteamManager {
  explicit TSteamManager(int hue_offset = 0) {
    AddStored(manager, kSteamSkinName, SteamBytes());
    manager.SetHueOffset(hue_offset);
    manager.SetSkinName(kSteamSkinName);
  }
  TsSkinManager manager{nullptr};
};

void ExpectSameBitmap(const TBitmap* a, const TBitmap* b, const std::string& what) {
  ASSERT_EQ(a == nullptr, b == nullptr) << what;
  if (a == nullptr) return;
  EXPECT_TRUE(a->Image() == b->Image()) << what;
}

// Everything painting reads from a model, and that each mask belongs to
// the model that holds it.
void ExpectSameModel(const TsSkinModel& got, const TsSkinModel& want) {
  ASSERT_EQ(got.Sections().size(), want.Sections().size());
  for (std::size_t i = 0; i < got.Sections().size(); ++i) {
    const SectionRecord& g = got.Sections()[i];
    const SectionRecord& w = want.Sections()[i];
    EXPECT_EQ(g.SectionName, w.SectionName);
    EXPECT_EQ(g.ParentClass, w.ParentClass);
    EXPECT_EQ(g.Color, w.Color) << g.SectionName;
    EXPECT_EQ(g.HotColor, w.HotColor) << g.SectionName;
    EXPECT_EQ(g.FontColor, w.FontColor) << g.SectionName;
    EXPECT_EQ(g.GradientData, w.GradientData) << g.SectionName;
  }
  ASSERT_EQ(got.Masks().size(), want.Masks().size());
  for (std::size_t i = 0; i < got.Masks().size(); ++i) {
    const MaskRecord& g = got.Masks()[i];
    const MaskRecord& w = want.Masks()[i];
    const std::string what = g.SectionName + "." + g.PropertyName;
    EXPECT_EQ(what, w.SectionName + "." + w.PropertyName);
    EXPECT_EQ(g.SourceRect, w.SourceRect) << what;
    EXPECT_EQ(g.ImageType, w.ImageType) << what;
    EXPECT_EQ(g.Model, &got) << what;
    ExpectSameBitmap(g.Source(), w.Source(), what);
  }
  ASSERT_EQ(got.Patterns().size(), want.Patterns().size());
  for (std::size_t i = 0; i < got.Patterns().size(); ++i)
    ExpectSameBitmap(got.Patterns()[i].Image.get(), want.Patterns()[i].Image.get(),
                     got.Patterns()[i].SectionName);
  ExpectSameBitmap(got.MasterBitmap(), want.MasterBitmap(), "master bitmap");
  EXPECT_EQ(got.SkinData().Version, want.SkinData().Version);
  EXPECT_EQ(got.SkinData().Author, want.SkinData().Author);
  EXPECT_EQ(got.SkinData().BorderColor, want.SkinData().BorderColor);
  EXPECT_EQ(got.SkinData().SkinPath, want.SkinData().SkinPath);
  EXPECT_EQ(got.SkinData().Active, want.SkinData().Active);
  const int panel = want.SectionIndex("PANEL");
  EXPECT_EQ(got.SectionIndex("PANEL"), panel);
  EXPECT_EQ(got.MaskIndex(panel, "PANEL", "BORDERSMASK"),
            want.MaskIndex(panel, "PANEL", "BORDERSMASK"));
}

std::function<void()> PrepareSteam() {
  return PrepareStoredSkin(kSteamSkinData, kSteamSkinDataSize, kSteamSkinName);
}

TEST(PreparedSkin, TheFirstLoadTakesTheSkinBuiltAheadAsItWouldHaveBuiltIt) {
  const TSteamManager built_on_the_spot;
  std::thread(PrepareSteam()).join();
  EXPECT_TRUE(PreparedSkinWaiting());
  const int taken = PreparedSkinsTaken();
  TSteamManager taker;
  EXPECT_FALSE(PreparedSkinWaiting());
  EXPECT_EQ(PreparedSkinsTaken(), taken + 1);
  ExpectSameModel(taker.manager.Model(), built_on_the_spot.manager.Model());
  EXPECT_EQ(taker.manager.SkinInfo(), "5.41");
  EXPECT_TRUE(taker.manager.Packed());
  // A later change of hue builds from the stored skin as always.
  taker.manager.SetHueOffset(90);
  ExpectSameModel(taker.manager.Model(), TSteamManager(90).manager.Model());
}

TEST(PreparedSkin, ALoadOfOtherSettingsOrAnotherSkinBuildsItselfAndDropsIt) {
  const TSteamManager shifted_on_the_spot(90);
  // Another hue: the built skin is not what this load wants.
  PrepareSteam()();
  const int taken = PreparedSkinsTaken();
  const TSteamManager shifted(90);
  EXPECT_FALSE(PreparedSkinWaiting());
  EXPECT_EQ(PreparedSkinsTaken(), taken);
  ExpectSameModel(shifted.manager.Model(), shifted_on_the_spot.manager.Model());
  // Another stored skin, whose load fails.
  PrepareSteam()();
  TsSkinManager broken(nullptr);
  AddStored(broken, "Broken", std::vector<std::uint8_t>(kSteamSkinData, kSteamSkinData + 100));
  EXPECT_THROW(broken.SetSkinName("Broken"), EReadError);
  EXPECT_FALSE(PreparedSkinWaiting());
}

TEST(PreparedSkin, ALoadBeforeTheBuildEndsBuildsItselfAndTheBuildKeepsNothing) {
  const TSteamManager plain;
  // Named, never built: the skin is not built afterwards either.
  const std::function<void()> never_built = PrepareSteam();
  {
    const TSteamManager first;
    ExpectSameModel(first.manager.Model(), plain.manager.Model());
  }
  never_built();
  EXPECT_FALSE(PreparedSkinWaiting());
  // Built on another thread, the load coming before, during or after the
  // build (a few milliseconds): whichever model the load has, nothing is
  // left waiting.
  for (int i = 0; i < 40; ++i) {
    std::thread builder(PrepareSteam());
    std::this_thread::sleep_for(std::chrono::microseconds(100 * i));
    const TSteamManager meanwhile;
    builder.join();
    EXPECT_FALSE(PreparedSkinWaiting()) << "load after " << 100 * i << " us";
    ExpectSameModel(meanwhile.manager.Model(), plain.manager.Model());
  }
  // Named anew while the first is built: the first build keeps nothing.
  std::thread builder(PrepareSteam());
  const std::function<void()> named_anew = PrepareSteam();
  builder.join();
  named_anew();
  EXPECT_TRUE(PreparedSkinWaiting());
  const int taken = PreparedSkinsTaken();
  const TSteamManager taker;
  EXPECT_EQ(PreparedSkinsTaken(), taken + 1);
  ExpectSameModel(taker.manager.Model(), plain.manager.Model());
}

TEST(PreparedSkin, ABuildThatFailsLeavesTheLoadToReportIt) {
  const std::vector<std::uint8_t> half(kSteamSkinData, kSteamSkinData + kSteamSkinDataSize / 2);
  PrepareStoredSkin(half.data(), half.size(), "Broken")();
  EXPECT_FALSE(PreparedSkinWaiting());
  TsSkinManager m(nullptr);
  AddStored(m, "Broken", half);
  EXPECT_THROW(m.SetSkinName("Broken"), EReadError);
  EXPECT_EQ(m.SkinInfo(), "N/A");
}

}  // namespace
