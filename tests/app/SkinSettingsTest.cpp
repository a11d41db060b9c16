// The main window's skin manager: the internal skin is read with the
// window's settings and in force once the window is built.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QTimer>

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

// Start-up builds the window's skin ahead: what it names is what the window
// loads, so the window takes it, and the window looks the same either way.
TEST(MainWindowSkin, TheWindowTakesTheSkinStartUpBuiltAhead) {
  Application->Initialize();
  auto* built_here = new TForm1(Application);
  built_here->Show();
  const QImage want = built_here->Handle()->grab().toImage();
  ASSERT_FALSE(want.isNull());
  const std::size_t masks = built_here->sSkinManager1->Model().Masks().size();
  delete built_here;

  PrepareMainWindowSkin()();
  ASSERT_TRUE(PreparedSkinWaiting());
  const int taken = PreparedSkinsTaken();
  auto* form = new TForm1(Application);
  EXPECT_EQ(PreparedSkinsTaken(), taken + 1);
  EXPECT_FALSE(PreparedSkinWaiting());
  EXPECT_EQ(form->sSkinManager1->Model().Masks().size(), masks);
  EXPECT_EQ(form->sSkinManager1->SkinInfo(), "5.41");
  form->Show();
  EXPECT_TRUE(form->Handle()->grab().toImage() == want) << "painted from the skin built ahead";
  delete form;
}

// The window's skin folder, "D:\Sonarix\Skins", is a folder of another
// system. Started from a folder that happens to hold "D:/Sonarix/Skins/...",
// the program reads nothing from there: the internal skin is in force.
TEST(MainWindowSkin, AWorkingFolderHoldingTheDriveFolderChangesNothing) {
  char tmpl[] = "/tmp/sonarix-cwd-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::filesystem::path work = tmpl;
  const std::filesystem::path skins = work / "D:" / "Sonarix" / "Skins";
  std::filesystem::create_directories(skins / "Steam (internal)");
  std::ofstream(skins / "Steam (internal)" / "Options.dat") << "[PANEL]\r\nCOLOR=255\r\n";
  std::ofstream(skins / "Steam (internal).lsz") << "not a skin archive";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(work);

  Application->Initialize();
  // Any message box (a warning about what was read) is noted and closed.
  std::vector<std::string> boxes;
  const int hook = Application->HookWindows([&](TWindowHookKind kind, QWidget* w) {
    if (kind != TWindowHookKind::whCreate) return;
    if (auto* box = dynamic_cast<TMessageForm*>(FindControl(w))) {
      boxes.push_back(box->Message());
      QTimer::singleShot(0, w, [box] { box->FindButton(mrOk)->Click(); });
    }
  });
  auto* form = new TForm1(Application);
  Application->UnhookWindows(hook);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
  TsSkinManager* m = form->sSkinManager1;
  EXPECT_EQ(m->SkinName(), "Steam (internal)");
  EXPECT_EQ(m->SkinInfo(), "5.41");
  EXPECT_TRUE(m->Packed());
  EXPECT_EQ(m->SkinData().SkinPath, "");
  EXPECT_EQ(m->Model().Sections().size(), 60u);
  EXPECT_EQ(m->SkinNames(slBoth), std::vector<std::string>({"Steam (internal)"}));
  delete form;

  std::filesystem::current_path(before);
  std::filesystem::remove_all(work);
}
