// A form under the internal skin "Steam (internal)", with test sections laid
// over it, for the skinned controls' tests.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/Blend.h"
#include "skin/SteamSkin.h"
#include "skin/sCommonData.h"
#include "skin/sSkinManager.h"
#include "toolkit/Forms.h"

namespace skinctltest {

// Sections the tests add to the skin: see-through ones, a plain one, one
// of each transparency with and without a border.
inline const std::vector<std::string> kTestSections = {
    "[FLAT]",
    "COLOR=1122867",
    "HOTCOLOR=1122867",  // 0x112233, opaque, plain
    "[GLASS]",
    "COLOR=255",
    "TRANSPARENCY=40",
    "HOTCOLOR=255",  // red at 40 %
    "[CLEAR]",
    "TRANSPARENCY=100",  // see-through, no border
    // See-through with PANEL's border of 7 on each side (by its parent class).
    "[CLEARBORDER]",
    "PARENTCLASS=PANEL",
    "TRANSPARENCY=100",
    "GRADIENTPERCENT=0",
    "[FADER]",
    "COLOR=0",
    "HOTCOLOR=16777215",
    "FADINGENABLED=TRUE",
    "FADINGITERATIONS=4",
};

inline void AddSteam(TsSkinManager& m) {
  TsStoredSkin& s = m.InternalSkins().Add();
  s.SetName(kSteamSkinName);
  s.SetData(kSteamSkinData, kSteamSkinDataSize);
}

// Runs the event loop for `ms` milliseconds, or until `done` holds.
inline bool Pump(int ms, const std::function<bool()>& done = nullptr) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (done && done()) return true;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return done ? done() : true;
}

inline TColor PixelOf(const QImage& image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}
inline TColor PixelOf(TBitmap& b, int x, int y) {
  return LoadPixel(PixelsOf(b).At(x, y));
}

class SkinFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    manager = std::make_unique<TsSkinManager>(nullptr);
    AddSteam(*manager);
    manager->SetCommonSections(kTestSections);
    manager->SetSkinName(kSteamSkinName);
    ASSERT_GE(manager->SectionIndex("PANEL"), 0);
    ASSERT_GE(manager->SectionIndex("GLASS"), 0);
    form = new TForm(Application);
    form->SetBounds(40, 40, 320, 240);
    form->SetColor(0x405060);
  }
  void TearDown() override {
    delete form;
    manager.reset();
  }
  const TsSkinModel& Model() const { return manager->Model(); }
  const SectionRecord& Section(const std::string& name) const {
    return Model().Sections()[static_cast<std::size_t>(manager->SectionIndex(name))];
  }
  // The window's pixels as the screen would show them.
  QImage Grab(TWinControl* control) {
    return control->Handle()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  std::unique_ptr<TsSkinManager> manager;
  TForm* form = nullptr;
};

}  // namespace skinctltest
