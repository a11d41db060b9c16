// Controls made under a window's font: Qt's application font is the
// window's face while they are made, and the desktop's again afterwards,
// for the window's controls and for anything made later.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QLineEdit>

#include <memory>

#include "toolkit/Forms.h"
#include "toolkit/Graphics.h"
#include "toolkit/StdCtrls.h"

namespace {

TFont Tahoma11() {
  TFont f;
  f.SetName("Tahoma");
  f.SetHeight(-11);
  return f;
}

}  // namespace

TEST(ControlFontScope, EditorsAreMadeInTheFaceAndTheApplicationsFontComesBack) {
  Application->Initialize();
  const QFont desktop = QApplication::font();
  const QFont face = Tahoma11().ToQFont();
  ASSERT_NE(desktop.family(), face.family()) << "the test needs a desktop font other than Tahoma";
  std::unique_ptr<QLineEdit> made_inside;
  {
    const TControlFontScope scope(Tahoma11());
    EXPECT_EQ(QApplication::font().family(), face.family());
    EXPECT_EQ(QApplication::font().pixelSize(), face.pixelSize());
    made_inside = std::make_unique<QLineEdit>();
    EXPECT_EQ(made_inside->font().family(), face.family());
  }
  EXPECT_EQ(QApplication::font(), desktop);
  // A widget made in the scope without a font of its own follows the
  // application's font back, as one made afterwards has it.
  EXPECT_EQ(made_inside->font().family(), desktop.family());
  EXPECT_EQ(QLineEdit().font().family(), desktop.family());
}

TEST(ControlFontScope, AControlGivenItsFontAtLoadedKeepsItAfterTheScope) {
  Application->Initialize();
  const QFont desktop = QApplication::font();
  auto form = std::make_unique<TForm>(nullptr);
  TEdit* edit = nullptr;
  {
    const TControlFontScope scope(Tahoma11());
    form->BeginLoading();
    edit = new TEdit(form.get());
    edit->SetParent(form.get());
    edit->Font().Assign(Tahoma11());
    edit->Font().SetHeight(-13);
    form->EndLoading();
  }
  EXPECT_EQ(QApplication::font(), desktop);
  ASSERT_NE(edit->Handle(), nullptr);
  EXPECT_EQ(edit->Handle()->font().family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(edit->Handle()->font().pixelSize(), edit->Font().ToQFont().pixelSize());
}
