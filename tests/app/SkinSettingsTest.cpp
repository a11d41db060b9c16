// The main window's skin manager: the internal skin is read with the
// window's settings and in force once the window is built.
#include <gtest/gtest.h>

#include "app/Unit1.h"

TEST(MainWindowSkin, InternalSkinIsInForceOnceTheWindowIsBuilt) {
  Application->Initialize();
  auto* form = new TForm1(Application);
  TsSkinManager* m = form->sSkinManager1;
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(DefaultManager(), m);
  EXPECT_EQ(m->Owner(), form);
  EXPECT_EQ(m->SkinName(), "Steam (internal)");
  EXPECT_EQ(m->SkinDirectory(), "D:\\Sonarix\\Skins");
  EXPECT_EQ(m->SkinInfo(), "5.41");
  EXPECT_TRUE(m->Packed());
  EXPECT_EQ(m->Model().Sections().size(), 60u);
  EXPECT_EQ(m->InternalSkins().Count(), 1);
  EXPECT_EQ(m->MenuSupport().IcoLineSkin(), "ICOLINE");
  EXPECT_EQ(m->MenuSupport().ExtraLineFont().Height(), -11);
  EXPECT_EQ(
      m->ThirdParty().ThirdEdits(),
      "TEdit\r\nTMemo\r\nTMaskEdit\r\nTLabeledEdit\r\nTHotKey\r\nTListBox\r\nTCheckListBox\r\n"
      "TRichEdit\r\nTDateTimePicker");
  EXPECT_EQ(m->ThirdParty().ThirdWWEdits(), " ");
  EXPECT_EQ(m->ThirdParty().ThirdStatusBar(), "TStatusBar");
  delete form;
  EXPECT_EQ(DefaultManager(), nullptr);
}
