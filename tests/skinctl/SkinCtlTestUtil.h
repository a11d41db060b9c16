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
#include "skin/sBitBtn.h"
#include "skin/sCommonData.h"
#include "skin/sPanel.h"
#include "skin/sSkinManager.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace skinctltest {

// Sections the tests add to the skin: see-through ones, a plain one, one
// of each transparency with and without a border.
// clang-format off
inline const std::vector<std::string> kTestSections = {
    // 0x112233, opaque, one colour.
    "[FLAT]", "COLOR=1122867", "HOTCOLOR=1122867",
    // Red at 40 %.
    "[GLASS]", "COLOR=255", "TRANSPARENCY=40", "HOTCOLOR=255",
    // See-through, no border.
    "[CLEAR]", "TRANSPARENCY=100",
    // See-through with PANEL's border of 7 on each side (by its parent class).
    "[CLEARBORDER]", "PARENTCLASS=PANEL", "TRANSPARENCY=100", "GRADIENTPERCENT=0",
    // Black, white when hot, fading in 4 steps.
    "[FADER]", "COLOR=0", "HOTCOLOR=16777215", "FADINGENABLED=TRUE", "FADINGITERATIONS=4",
    // A see-through button that shows the focus (values are not inherited
    // across the laid-over sections; the border mask is, by parent class).
    "[FOCUSBUTTON]", "PARENTCLASS=BUTTON", "TRANSPARENCY=100", "HOTTRANSPARENCY=100",
    "SHOWFOCUS=TRUE", "FONTCOLOR=12237498", "HOTFONTCOLOR=5289412",
};
// clang-format on

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

// A skinned panel of `section` on `parent`.
inline TsPanel* AddPanel(TComponent* owner, TWinControl* parent, const char* section,
                         TRect bounds) {
  auto* p = new TsPanel(owner);
  p->SetParent(parent);
  p->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
  p->SkinData()->SetSkinSection(section);
  return p;
}

// A button as the main window's: 65 × 52, 8 pixels down, "BUTTON".
inline TsBitBtn* AddButton(TComponent* owner, TWinControl* parent, int left, const char* caption,
                           const char* section = "BUTTON") {
  auto* b = new TsBitBtn(owner);
  b->SetParent(parent);
  b->SetBounds(left, 8, 65, 52);
  b->SetCaption(caption);
  b->SkinData()->SetSkinSection(section);
  return b;
}

// A plain edit that takes the focus when the form shows, so the skinned
// controls start unfocused.
inline TEdit* AddFocusHolder(TForm* form) {
  auto* e = new TEdit(form);
  e->SetParent(form);
  e->SetBounds(0, 200, 50, 21);
  return e;
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
