// Hint windows under a skin: Qt's hint window, drawn from the skin's "HINT"
// section (its colour, border mask and text colour) instead of the plain
// yellow box, and back to the plain one without a skin.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QToolTip>
#include <QWidget>

#include <cstdlib>
#include <memory>

#include "../skinctl/SkinCtlTestUtil.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinManager.h"
#include "skin/sSkinStyle.h"
#include "toolkit/ExtCtrls.h"
#include "toolkit/Forms.h"

namespace {

using skinctltest::AddSteam;
using skinctltest::PixelOf;
using skinctltest::Pump;

QWidget* ShownHint() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowType() == Qt::ToolTip) return w;
  return nullptr;
}

class HintLook : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    manager_ = std::make_unique<TsSkinManager>(nullptr);
    AddSteam(*manager_);
    manager_->SetSkinName(kSteamSkinName);
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetClientSize(200, 100);
    panel_ = new TPanel(form_.get());
    panel_->SetParent(form_.get());
    panel_->SetBounds(10, 10, 100, 50);
    panel_->SetHint("Select Sonarix Packet Size");
    form_->Show();
    Pump(30);
  }
  void TearDown() override {
    QToolTip::hideText();
    Pump(10);
    form_.reset();
    manager_.reset();
  }
  QImage ShowHint() {
    // A hint window that another test left up is shown afresh.
    QToolTip::hideText();
    Pump(20);
    Application->ActivateHint(panel_, panel_->Handle()->mapToGlobal(QPoint(5, 5)));
    Pump(50);
    QWidget* tip = ShownHint();
    return tip != nullptr ? tip->grab().toImage() : QImage();
  }

  std::unique_ptr<TsSkinManager> manager_;
  std::unique_ptr<TForm> form_;
  TPanel* panel_ = nullptr;
};

}  // namespace

TEST_F(HintLook, HintWindowIsDrawnFromTheSkinsHintSection) {
  const QImage shot = ShowHint();
  ASSERT_FALSE(shot.isNull());
  ASSERT_GT(shot.width(), 20);
  const TsSkinModel& model = manager_->Model();
  const int index = model.SectionIndex("HINT");
  ASSERT_GE(index, 0);
  const SectionRecord& hint = model.Sections()[static_cast<std::size_t>(index)];
  // The section's face for the window's size, as the item painter makes it.
  TBitmap expected(shot.width(), shot.height());
  ASSERT_TRUE(PaintSkinHint(expected, model));
  auto expected_at = [&](int x, int y) { return PixelOf(expected.Image(), x, y); };
  // The border: the mask's, pixel for pixel, all round.
  for (int x = 0; x < shot.width(); ++x)
    for (int y : {0, 1, shot.height() - 2, shot.height() - 1})
      ASSERT_EQ(PixelOf(shot, x, y), expected_at(x, y)) << x << "," << y;
  for (int y = 0; y < shot.height(); ++y)
    for (int x : {0, 1, shot.width() - 2, shot.width() - 1})
      ASSERT_EQ(PixelOf(shot, x, y), expected_at(x, y)) << x << "," << y;
  // Inside: the section's colour and text in its font colour; no yellow.
  EXPECT_EQ(PixelOf(shot, 2, shot.height() / 2), ColorToRGB(hint.Color));
  int text = 0, yellow = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const TColor c = PixelOf(shot, x, y);
      const TColor want = ColorToRGB(hint.FontColor[0]);
      text += std::abs(GetRValue(c) - GetRValue(want)) < 24 &&
              std::abs(GetGValue(c) - GetGValue(want)) < 24 &&
              std::abs(GetBValue(c) - GetBValue(want)) < 24;
      yellow += GetRValue(c) > 200 && GetGValue(c) > 200 && GetBValue(c) < 200;
    }
  EXPECT_GT(text, 40);
  EXPECT_EQ(yellow, 0);
}

TEST_F(HintLook, WithoutASkinTheHintIsThePlainOne) {
  manager_->SetActive(false);
  Pump(10);
  const QImage shot = ShowHint();
  ASSERT_FALSE(shot.isNull());
  const TsSkinModel& model = manager_->Model();
  const int index = model.SectionIndex("HINT");
  if (index >= 0) {
    const SectionRecord& hint = model.Sections()[static_cast<std::size_t>(index)];
    EXPECT_NE(PixelOf(shot, 2, shot.height() / 2), ColorToRGB(hint.Color));
  }
}
