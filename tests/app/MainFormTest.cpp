// The real main window under the offscreen platform: a series against
// 127.0.0.1, Cancel during a series, and saving the log through the save
// dialog and the error boxes, all driven through the application's window
// hook as a user would answer them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "app/AboutBox.h"
#include "app/Unit1.h"
#include "skin/sConst.h"
#include "skin/sScrollBar.h"

namespace {

bool CanPing() {
  if (geteuid() == 0) return true;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::vector<std::string> LogLines(TForm1* form) {
  std::vector<std::string> lines;
  TStrings& l = form->sMemo1->Lines();
  lines.reserve(static_cast<std::size_t>(l.Count()));
  for (int i = 0; i < l.Count(); ++i) lines.push_back(l[i]);
  return lines;
}

// "Received 56 bytes from 127.0.0.1 in N msecs", N plain decimal.
bool IsReplyLine(const std::string& line) {
  const std::string head = "Received 56 bytes from 127.0.0.1 in ";
  const std::string tail = " msecs";
  if (line.size() <= head.size() + tail.size()) return false;
  if (line.compare(0, head.size(), head) != 0) return false;
  if (line.compare(line.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string n = line.substr(head.size(), line.size() - head.size() - tail.size());
  if (n.size() > 1 && n[0] == '0') return false;
  return std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Answers the windows that appear: the save dialog and message boxes.
class TWindowAnswers {
 public:
  TWindowAnswers() {
    handle_ = Application->HookWindows([this](TWindowHookKind kind, QWidget* w) {
      if (kind != TWindowHookKind::whCreate) return;
      if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
        ++dialogs;
        dialog_title = dialog->windowTitle().toStdString();
        dialog_filters = dialog->nameFilters().join("|").toStdString();
        dialog_suffix = dialog->defaultSuffix().toStdString();
        dialog_proposed = dialog->selectedFiles().value(0).toStdString();
        // Typed as a user would: relative to a folder that exists.
        std::filesystem::path folder = std::filesystem::path(save_as).parent_path();
        while (!folder.empty() && !std::filesystem::is_directory(folder))
          folder = folder.parent_path();
        const QString dir = QString::fromStdString(folder.string());
        const QString name = QString::fromStdString(
            save_as.empty() ? std::string()
                            : std::filesystem::path(save_as).lexically_relative(folder).string());
        QTimer::singleShot(0, dialog, [dialog, dir, name] {
          if (name.isEmpty()) {
            dialog->reject();
          } else {
            dialog->setDirectory(dir);
            dialog->selectFile(name);
            QMetaObject::invokeMethod(dialog, "accept");
          }
        });
      } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
        // Qt's own question (replace the existing file?): yes.
        ++questions;
        QTimer::singleShot(0, box, [box] {
          if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
        });
      } else if (auto* form = dynamic_cast<TMessageForm*>(FindControl(w))) {
        messages.push_back(form->Message());
        captions.push_back(form->Caption());
        error_icons += form->DlgType() == mtError ? 1 : 0;
        buttons.push_back(form->ButtonCount());
        QTimer::singleShot(0, w, [form] { form->FindButton(mrOk)->Click(); });
      }
    });
  }
  ~TWindowAnswers() { Application->UnhookWindows(handle_); }

  std::string save_as;
  int dialogs = 0;
  int questions = 0;
  std::string dialog_title, dialog_filters, dialog_suffix, dialog_proposed;
  std::vector<std::string> messages, captions;
  std::vector<int> buttons;
  int error_icons = 0;

 private:
  int handle_;
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CanPing()) GTEST_SKIP() << "needs root or a ping socket for ICMP echo; CI runs as root";
    Application->Initialize();
    Application->SetTitle("Sonarix - a Ping Utility");
    PingCount = 0;
    Pinging = false;
    StopRequested = false;
    form_ = new TForm1(Application);
    form_->Show();
    dir_ = std::filesystem::absolute(std::filesystem::path(::testing::TempDir()) /
                                     ("sonarix_app_" + std::to_string(::getpid())));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    delete form_;
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  void ClickButton(TBitBtn* button) {
    QTest::mouseClick(button->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  }

  TForm1* form_ = nullptr;
  std::filesystem::path dir_;
};

constexpr const char* kFinished = "*************Finished************";
constexpr const char* kCanceled = "*************Canceled************";

TEST_F(MainFormTest, ThreeEchoesToLoopbackWriteTheExampleLog) {
  form_->sEdit1->SetText("127.0.0.1");
  form_->sBitBtn1->Click();
  const std::vector<std::string> lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 10u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[0], "Resolving host '127.0.0.1'");
  EXPECT_EQ(lines[1], "Host '127.0.0.1' is 127.0.0.1");
  EXPECT_EQ(lines[2], "");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[3 + 2 * i], "Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
    EXPECT_TRUE(IsReplyLine(lines[4 + 2 * i])) << lines[4 + 2 * i];
  }
  EXPECT_EQ(lines[9], kFinished);
  EXPECT_FALSE(Pinging);
  EXPECT_TRUE(form_->sBitBtn1->Enabled());
  EXPECT_TRUE(form_->sBitBtn2->Enabled());
  // Every appended line ends with a line break.
  const std::string text = form_->sMemo1->Text();
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(MainFormTest, CancelDuringASeriesEndsItBeforeTheNextEcho) {
  form_->sComboBox4->SetItemIndex(1);  // 5 echoes
  // Pressed while the first echo's message pass runs.
  QTimer::singleShot(0, form_->sBitBtn2->Handle(), [this] { ClickButton(form_->sBitBtn2); });
  form_->sBitBtn1->Click();
  const std::vector<std::string> lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 6u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[3], "Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
  EXPECT_EQ(lines[4].rfind("Received 56 bytes from 127.0.0.1 in ", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5], kCanceled);
  EXPECT_TRUE(StopRequested);
  EXPECT_FALSE(Pinging);
  // The next "Ping !" clears the stop request.
  form_->sComboBox4->SetItemIndex(0);
  form_->sBitBtn1->Click();
  EXPECT_EQ(LogLines(form_).back(), kFinished);
  EXPECT_FALSE(StopRequested);
}

TEST_F(MainFormTest, AboutDuringASeriesHoldsItUntilTheBoxIsClosed) {
  AboutBox = new TAboutBox(Application);
  form_->sComboBox4->SetItemIndex(1);  // 5 echoes
  std::vector<std::string> while_open;
  bool was_modal = false;
  // Open while the first echo's message pass runs; look at the log after
  // three pauses' worth of time, then press OK.
  AboutBox->OnShow = TNotifyEvent([&](TObject*) {
    QTimer::singleShot(1600, AboutBox->Handle(), [&] {
      while_open = LogLines(form_);
      was_modal = AboutBox->Visible() && (AboutBox->FormState() & fsModal) != 0;
      ClickButton(AboutBox->sBitBtn1);
    });
  });
  QTimer::singleShot(0, form_->sBitBtn5->Handle(), [this] { ClickButton(form_->sBitBtn5); });
  form_->sBitBtn1->Click();
  EXPECT_TRUE(was_modal);
  // Only the first echo went out while the box was open.
  ASSERT_EQ(while_open.size(), 5u);
  EXPECT_EQ(while_open[3], "Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
  // Then the series went on to its end.
  const std::vector<std::string> lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 14u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[13], kFinished);
  EXPECT_FALSE(AboutBox->Visible());
  delete AboutBox;
}

TEST_F(MainFormTest, AboutMakesTheBoxOnTheFirstPressInTheSkinsLookAndKeepsItForTheNext) {
  ASSERT_EQ(AboutBox, nullptr) << "nothing of the box is made before it is asked for";
  // The skin changes before the box exists: the box, made later, shows the
  // skin of the moment.
  form_->sSkinManager1->SetActive(false);
  form_->sSkinManager1->SetActive(true);
  struct TSeen {
    TAboutBox* box = nullptr;
    bool modal = false;
    bool skinned = false;
    bool own_frame = false;
    std::string caption;
    std::string title;
  };
  std::vector<TSeen> seen;
  auto press_and_look = [&] {
    QTimer::singleShot(0, form_->sBitBtn5->Handle(), [&] {
      QTimer::singleShot(300, form_->Handle(), [&] {
        TSeen s;
        s.box = AboutBox;
        if (AboutBox != nullptr) {
          s.modal = AboutBox->Visible() && (AboutBox->FormState() & fsModal) != 0;
          s.skinned =
              AboutBox->Perform(SM_LUMVEXCMD, MakeSkinCommand(TsCommand::QueryProvider), 0) != 0;
          s.own_frame = AboutBox->OwnFrame();
          s.caption = AboutBox->Caption();
          s.title = AboutBox->sLabelFX1->Caption();
          ClickButton(AboutBox->sBitBtn1);
        }
        seen.push_back(s);
      });
      ClickButton(form_->sBitBtn5);
    });
    Pump(800);
  };
  press_and_look();
  press_and_look();
  ASSERT_EQ(seen.size(), 2u);
  for (const TSeen& s : seen) {
    ASSERT_NE(s.box, nullptr);
    EXPECT_TRUE(s.modal);
    EXPECT_TRUE(s.skinned) << "adopted into the skin as it appeared";
    EXPECT_TRUE(s.own_frame);
    EXPECT_EQ(s.caption, "About " + ProgramNameAndVersion());
    EXPECT_EQ(s.title, ProgramNameAndVersion());
  }
  EXPECT_EQ(seen[1].box, seen[0].box) << "one box, kept hidden between the presses";
  EXPECT_FALSE(AboutBox->Visible());
  delete AboutBox;
}

TEST_F(MainFormTest, EnterInAnInputStartsAPingAndTypedCountOutsideTheListKeepsTheCount) {
  // Text that begins no item leaves no item selected: the count stays 0
  // before any series, so no echo is sent.
  form_->sComboBox4->SetFocus();
  form_->sComboBox4->Editor()->lineEdit()->selectAll();
  QTest::keyClicks(form_->sComboBox4->Handle(), "7");
  EXPECT_EQ(form_->sComboBox4->ItemIndex(), -1);
  QTest::keyClick(form_->sComboBox4->Handle(), Qt::Key_Return);
  std::vector<std::string> lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 4u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[3], kFinished);
  EXPECT_EQ(form_->sComboBox4->Text(), "7");
  // Enter in the host box, with a count typed to complete to "10" ... "1"
  // then back to "3" picked from the list.
  form_->sComboBox4->SetItemIndex(0);
  form_->sEdit1->SetFocus();
  QTest::keyClick(form_->sEdit1->Handle(), Qt::Key_Return);
  lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 10u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[9], kFinished);
}

TEST_F(MainFormTest, SaveLogWritesTheMemoTextByteForByte) {
  TWindowAnswers answers;
  // Nothing to save: no dialog.
  form_->sMemo1->Clear();
  ClickButton(form_->sBitBtn4);
  EXPECT_EQ(answers.dialogs, 0);

  form_->sMemo1->Lines().Add("Resolving host 'x'");
  form_->sMemo1->Lines().Add("");
  form_->sMemo1->AppendText("typed by the user");
  const std::string path = (dir_ / "first").string();
  answers.save_as = path;
  ClickButton(form_->sBitBtn4);
  ASSERT_EQ(answers.dialogs, 1);
  EXPECT_EQ(answers.dialog_title, "Save Log");
  EXPECT_EQ(answers.dialog_filters, "Text File (*.txt)");
  EXPECT_EQ(answers.dialog_suffix, "txt");
  EXPECT_EQ(std::filesystem::path(answers.dialog_proposed).filename(), "SonarixLog.txt");
  // The default extension is appended to a name typed without one.
  EXPECT_EQ(form_->SaveDialog1->FileName(), path + ".txt");
  EXPECT_EQ(ReadFile(path + ".txt"), "Resolving host 'x'\r\n\r\ntyped by the user");
  EXPECT_TRUE(answers.messages.empty());

  // The next save proposes the file saved last; replacing it asks first.
  form_->sMemo1->Lines().Add("more");
  answers.save_as = path + ".txt";
  ClickButton(form_->sBitBtn4);
  EXPECT_EQ(answers.dialogs, 2);
  EXPECT_EQ(answers.dialog_proposed, path + ".txt");
  EXPECT_EQ(answers.questions, 1);
  EXPECT_EQ(ReadFile(path + ".txt"), "Resolving host 'x'\r\n\r\ntyped by the user\r\nmore\r\n");

  // Cancelling the dialog writes nothing.
  answers.save_as.clear();
  form_->sMemo1->Lines().Add("not saved");
  ClickButton(form_->sBitBtn4);
  EXPECT_EQ(answers.dialogs, 3);
  EXPECT_EQ(ReadFile(path + ".txt"), "Resolving host 'x'\r\n\r\ntyped by the user\r\nmore\r\n");
}

TEST_F(MainFormTest, NamesAndTypedTextBeyondLatin1AreSavedAsTheyAre) {
  TWindowAnswers answers;
  form_->sMemo1->Clear();
  form_->sMemo1->Lines().Add("Resolving host 'x'");
  // Typed into the log, key by key: "Prüfung € Привет مرحبا".
  const std::string typed =
      "Pr\xC3\xBC"
      "fung \xE2\x82\xAC \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 "
      "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7";
  QPlainTextEdit* editor = form_->sMemo1->Editor();
  form_->sMemo1->SetFocus();
  editor->moveCursor(QTextCursor::End);
  for (const uint c : QString::fromUtf8(typed.c_str()).toUcs4()) {
    const QString letter = QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    QTest::sendKeyEvent(QTest::Click, editor, static_cast<Qt::Key>(letter.toUpper().toUcs4()[0]),
                        letter, Qt::NoModifier);
  }
  ASSERT_EQ(form_->sMemo1->Lines()[1], typed);

  // "Prüfung-Привет-€" as the name typed in the dialog.
  const std::string name =
      "Pr\xC3\xBC"
      "fung-\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82-\xE2\x82\xAC";
  answers.save_as = (dir_ / name).string();
  ClickButton(form_->sBitBtn4);
  ASSERT_EQ(answers.dialogs, 1);
  EXPECT_TRUE(answers.messages.empty());
  // The folder holds exactly that name, in the bytes the system spells it with.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{name + ".txt"});
  const std::string saved = ReadFile((dir_ / (name + ".txt")).string());
  // The program's own line as ever (ASCII, CR LF); the typed text in UTF-8.
  EXPECT_EQ(saved, "Resolving host 'x'\r\n" + typed);
  EXPECT_EQ(QString::fromUtf8(saved.c_str()).split("\r\n").value(1),
            QString::fromUtf8(typed.c_str()));
}

TEST_F(MainFormTest, SaveFailuresShowTheErrorBox) {
  TWindowAnswers answers;
  form_->sMemo1->Lines().Add("Resolving host '127.0.0.1'");
  const std::string missing = (dir_ / "no-such-folder" / "log.txt").string();
  answers.save_as = missing;
  ClickButton(form_->sBitBtn4);
  ASSERT_EQ(answers.messages.size(), 1u);
  EXPECT_EQ(answers.messages[0],
            "Cannot create file \"" + missing + "\". No such file or directory.");
  EXPECT_EQ(answers.captions[0], "Sonarix - a Ping Utility");
  EXPECT_EQ(answers.error_icons, 1);
  EXPECT_EQ(answers.buttons[0], 1);
  EXPECT_EQ(form_->sMemo1->Text(), "Resolving host '127.0.0.1'\r\n");

  // A full device behind a name with the default extension.
  const std::filesystem::path full = dir_ / "full.txt";
  std::filesystem::create_symlink("/dev/full", full);
  answers.save_as = full.string();
  ClickButton(form_->sBitBtn4);
  ASSERT_EQ(answers.messages.size(), 2u) << form_->SaveDialog1->FileName() << " dialogs "
                                         << answers.dialogs << " questions " << answers.questions;
  EXPECT_EQ(answers.messages[1], "Stream write error.");
  EXPECT_EQ(answers.captions[1], "Sonarix - a Ping Utility");
}

// A small file system of the test's own, unmounted with the object.
class TSmallDisk {
 public:
  TSmallDisk(const std::filesystem::path& at, const std::string& size) : at_(at) {
    std::filesystem::create_directories(at_);
    mounted_ = std::system(("mount -t tmpfs -o size=" + size + " sonarix-test " + at_.string() +
                            " 2>/dev/null")
                               .c_str()) == 0;
  }
  ~TSmallDisk() {
    if (mounted_) std::system(("umount -l " + at_.string()).c_str());
  }
  bool Ok() const { return mounted_; }

 private:
  std::filesystem::path at_;
  bool mounted_ = false;
};

std::vector<std::string> FolderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(MainFormTest, ASaveThatFailsMidwayLeavesTheOldFileByteForByte) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system; CI runs as root";
  const std::filesystem::path small = dir_ / "small";
  TSmallDisk disk(small, "64k");
  ASSERT_TRUE(disk.Ok());
  TWindowAnswers answers;
  const std::string log = (small / "log.txt").string();
  std::string old_log;
  for (int i = 0; i < 60; ++i)
    old_log += "Received 56 bytes from 127.0.0.1 in " + std::to_string(i) + " msecs\r\n";
  std::ofstream(log, std::ios::binary) << old_log;
  // Fill the disk, then give two pages back: less than the new log needs.
  {
    std::ofstream filler(small / "filler", std::ios::binary);
    const std::string page(4096, 'f');
    while (filler.write(page.data(), static_cast<std::streamsize>(page.size())) && filler.flush()) {
    }
  }
  std::filesystem::resize_file(small / "filler",
                               std::filesystem::file_size(small / "filler") - 8192);

  for (int i = 0; i < 400; ++i)
    form_->sMemo1->Lines().Add("line " + std::to_string(i) + std::string(90, '.'));
  const std::string text = form_->sMemo1->Text();
  ASSERT_GT(text.size(), 30000u);
  answers.save_as = log;
  ClickButton(form_->sBitBtn4);
  ASSERT_EQ(answers.messages.size(), 1u);
  EXPECT_EQ(answers.messages[0], "Stream write error.");
  EXPECT_TRUE(ReadFile(log) == old_log) << "the old log is whole";
  EXPECT_EQ(FolderNames(small), (std::vector<std::string>{"filler", "log.txt"}))
      << "nothing half-written is left behind";

  // With room again the same save goes through.
  std::filesystem::remove(small / "filler");
  ClickButton(form_->sBitBtn4);
  EXPECT_EQ(answers.messages.size(), 1u);
  EXPECT_TRUE(ReadFile(log) == text);
  EXPECT_EQ(FolderNames(small), std::vector<std::string>{"log.txt"});
}

TEST_F(MainFormTest, SavingThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
  TWindowAnswers answers;
  // logs/current.txt -> archive/today.txt -> ../store/ping.txt
  std::filesystem::create_directories(dir_ / "logs");
  std::filesystem::create_directories(dir_ / "archive");
  std::filesystem::create_directories(dir_ / "store");
  const std::filesystem::path real = dir_ / "store" / "ping.txt";
  std::ofstream(real, std::ios::binary) << "the old log\r\n";
  std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  std::filesystem::create_symlink("../store/ping.txt", dir_ / "archive" / "today.txt");
  std::filesystem::create_symlink("../archive/today.txt", dir_ / "logs" / "current.txt");

  form_->sMemo1->Lines().Add("Resolving host '127.0.0.1'");
  form_->sMemo1->Lines().Add("");
  answers.save_as = (dir_ / "logs" / "current.txt").string();
  ClickButton(form_->sBitBtn4);
  EXPECT_TRUE(answers.messages.empty());
  EXPECT_EQ(answers.questions, 1) << "replacing asks first";
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "logs" / "current.txt"));
  EXPECT_EQ(std::filesystem::read_symlink(dir_ / "logs" / "current.txt"), "../archive/today.txt");
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "archive" / "today.txt"));
  EXPECT_EQ(ReadFile(real.string()), "Resolving host '127.0.0.1'\r\n\r\n");
  EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read)
      << "the replacement keeps the file's mode";
  EXPECT_EQ(FolderNames(dir_ / "store"), std::vector<std::string>{"ping.txt"});

  // A link whose target does not exist yet: the target is created.
  std::filesystem::create_symlink("../store/new.txt", dir_ / "logs" / "next.txt");
  answers.save_as = (dir_ / "logs" / "next.txt").string();
  ClickButton(form_->sBitBtn4);
  EXPECT_TRUE(answers.messages.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "logs" / "next.txt"));
  EXPECT_EQ(ReadFile((dir_ / "store" / "new.txt").string()), "Resolving host '127.0.0.1'\r\n\r\n");
}

// Whether `event` is bound to a method of `form`.
template <class E>
bool BoundTo(const E& event, const TForm1* form) {
  return event.Assigned() && event.Data() == form;
}

TEST_F(MainFormTest, WindowMatchesItsStoredSettings) {
  TForm1* f = form_;
  EXPECT_EQ(f->Caption(), "Sonarix 1.0");
  EXPECT_EQ(f->ClientWidth(), 431);
  EXPECT_EQ(f->ClientHeight(), 503);
  EXPECT_EQ(f->Position(), poDesktopCenter);
  EXPECT_EQ(f->BorderStyle(), TFormBorderStyle::bsSizeable);
  EXPECT_EQ(f->BorderIcons(), biSystemMenu | biMinimize | biMaximize);
  EXPECT_EQ(f->Font().Name(), "Tahoma");
  EXPECT_EQ(f->Font().Height(), -11);
  EXPECT_TRUE(f->ShowHint());
  EXPECT_EQ(f->sSkinProvider1->SkinData().SkinSection(), "FORM");
  EXPECT_EQ(f->sSkinManager1->SkinName(), "Steam (internal)");
  EXPECT_EQ(f->sSkinManager1->MenuSupport().IcoLineSkin(), "ICOLINE");

  struct Panel {
    TsPanel* panel;
    const char* name;
    TAlign align;
    TRect bounds;
    int tab_order;
  };
  for (const Panel& p :
       std::vector<Panel>{{f->sPanel1, "sPanel1", alTop, Bounds(0, 0, 431, 73), 0},
                          {f->sPanel3, "sPanel3", alClient, Bounds(0, 73, 431, 263), 2},
                          {f->sPanel4, "sPanel4", alBottom, Bounds(0, 336, 431, 100), 3},
                          {f->sPanel2, "sPanel2", alBottom, Bounds(0, 436, 431, 67), 1}}) {
    EXPECT_EQ(p.panel->Name(), p.name);
    EXPECT_EQ(p.panel->Align(), p.align) << p.name;
    EXPECT_EQ(p.panel->BoundsRect(), p.bounds) << p.name;
    EXPECT_EQ(p.panel->TabOrder(), p.tab_order) << p.name;
    EXPECT_EQ(p.panel->SkinData()->SkinSection(), "PANEL") << p.name;
    EXPECT_EQ(p.panel->Caption(), "") << p.name;
  }

  // The inputs and their captions.
  struct Input {
    TWinControl* control;
    TsCommonData* skin;
    TsBoundLabel* caption_settings;
    const char* name;
    TRect bounds;
    int tab_order;
    const char* section;
    const char* caption;
    TsCaptionLayout layout;
    std::vector<std::string> items;
    int item_index;
    const char* text;
    const char* hint;
  };
  auto combo = [](TsComboBox* c, const char* name, TRect bounds, int tab, const char* caption,
                  TsCaptionLayout layout, std::vector<std::string> items, int index,
                  const char* text, const char* hint) {
    return Input{c,       c->SkinData(), c->BoundLabel(),  name,  bounds, tab, "COMBOBOX",
                 caption, layout,        std::move(items), index, text,   hint};
  };
  const std::vector<Input> inputs{
      {f->sEdit1,
       f->sEdit1->SkinData(),
       f->sEdit1->BoundLabel(),
       "sEdit1",
       Bounds(86, 6, 205, 21),
       0,
       "EDIT",
       "Target Address:",
       sclLeft,
       {},
       -1,
       "127.0.0.1",
       "Enter Host Name or IP Address"},
      combo(f->sComboBox4, "sComboBox4", Bounds(338, 6, 82, 21), 1, "Count:", sclLeft,
            {"3", "5", "10", "50", "100", "Until Cancel"}, 0, "3",
            "Select The Pings Count to Send"),
      combo(f->sComboBox1, "sComboBox1", Bounds(7, 44, 76, 21), 2, "Size:", sclTopLeft,
            {"56 Byte", "64 Byte", "128 Byte", "256 Byte"}, 0, "56 Byte",
            "Select Sonarix Packet Size"),
      combo(f->sComboBox2, "sComboBox2", Bounds(107, 44, 84, 21), 3, "Time Out:", sclTopLeft,
            {"4000 ms", "8000 ms", "12000 ms"}, 0, "4000 ms",
            "Select Time to Wait for Response (in milliseconds)"),
      combo(f->sComboBox3, "sComboBox3", Bounds(217, 44, 83, 21), 4, "TTL:", sclTopLeft,
            {"64 hops", "128 hops"}, 0, "64 hops", "Time To Live (maximum number of hops)"),
      combo(f->sComboBox5, "sComboBox5", Bounds(329, 44, 91, 21), 5, "Treshhold:", sclTopLeft,
            {"10 msec", "20 msec", "30 msec", "40 msec", "50 msec", "60 msec", "70 msec"}, -1,
            "10 msec", "Set The Visual Scope Treshold (reply time)"),
  };
  Pump(50);
  for (const Input& in : inputs) {
    SCOPED_TRACE(in.name);
    TWinControl* c = in.control;
    EXPECT_EQ(c->Name(), in.name);
    EXPECT_EQ(c->Parent(), f->sPanel1);
    EXPECT_EQ(c->BoundsRect(), in.bounds);
    EXPECT_EQ(c->TabOrder(), in.tab_order);
    EXPECT_EQ(in.skin->SkinSection(), in.section);
    EXPECT_EQ(c->Text(), in.text);
    EXPECT_EQ(c->Hint(), in.hint);
    EXPECT_TRUE(c->ShowHint());
    EXPECT_EQ(ColorToRGB(c->Color()), 0x00494E49);
    EXPECT_EQ(c->Font().Name(), "Tahoma");
    EXPECT_EQ(c->Font().Height(), -11);
    EXPECT_EQ(c->Font().Color(), 0x00D2D2D2);
    if (auto* box = dynamic_cast<TsComboBox*>(c)) {
      std::vector<std::string> items;
      items.reserve(static_cast<std::size_t>(box->Items().Count()));
      for (int i = 0; i < box->Items().Count(); ++i) items.push_back(box->Items()[i]);
      EXPECT_EQ(items, in.items);
      EXPECT_EQ(box->ItemIndex(), in.item_index);
      EXPECT_EQ(box->Style(), TComboBoxStyle::csDropDown);
      EXPECT_EQ(box->ItemHeight(), 13);
      EXPECT_EQ(box->MaxLength(), 0);
    }
    // The caption: active, named after its box, in its place.
    TsBoundLabel* b = in.caption_settings;
    EXPECT_TRUE(b->Active());
    EXPECT_EQ(b->Caption(), in.caption);
    EXPECT_EQ(b->Layout(), in.layout);
    EXPECT_EQ(b->Indent(), 0);
    EXPECT_EQ(b->MaxWidth(), 0);
    EXPECT_TRUE(b->UseSkinColor());
    TsEditLabel* l = b->Label();
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Name(), std::string(in.name) + "Label");
    EXPECT_EQ(l->Parent(), f->sPanel1);
    EXPECT_EQ(l->FocusControl(), c);
    EXPECT_EQ(l->Caption(), in.caption);
    EXPECT_EQ(l->Font().Name(), "Tahoma");
    EXPECT_EQ(l->Font().Height(), -11);
    EXPECT_EQ(l->Height(), 13);
    if (in.layout == sclLeft) {
      EXPECT_EQ(l->Left() + l->Width(), in.bounds.Left - 4);
      EXPECT_EQ(l->Top(), in.bounds.Top + 3);
    } else {
      EXPECT_EQ(l->Left(), in.bounds.Left);
      EXPECT_EQ(l->Top(), in.bounds.Top - 13);
    }
    // Painted in the skin-wide text colour: the panel's section gives none.
    EXPECT_EQ(l->Font().Color(), 0x00B1B1B1);
  }
  EXPECT_EQ(f->sEdit1->BoundLabel()->Label()->Top(), 9);
  EXPECT_EQ(f->sEdit1->BoundLabel()->Label()->Left() + f->sEdit1->BoundLabel()->Label()->Width(),
            82);
  EXPECT_EQ(f->sComboBox1->BoundLabel()->Label()->Top(), 31);
  EXPECT_EQ(f->sComboBox1->BoundLabel()->Label()->Left(), 7);

  // The log: no caption.
  TsMemo* memo = f->sMemo1;
  EXPECT_EQ(memo->Parent(), f->sPanel3);
  EXPECT_EQ(memo->Align(), alClient);
  EXPECT_EQ(memo->BoundsRect(), Bounds(1, 1, 429, 261));
  EXPECT_EQ(memo->SkinData()->SkinSection(), "EDIT");
  EXPECT_EQ(ColorToRGB(memo->Color()), 0x00494E49);
  EXPECT_EQ(memo->Font().Color(), 0x00D2D2D2);
  EXPECT_EQ(memo->ScrollBars(), TScrollStyle::ssVertical);
  EXPECT_TRUE(memo->WordWrap());
  EXPECT_FALSE(memo->ReadOnly());
  EXPECT_EQ(memo->TabOrder(), 0);
  EXPECT_FALSE(memo->BoundLabel()->Active());
  EXPECT_EQ(memo->BoundLabel()->Layout(), sclLeft);
  EXPECT_EQ(memo->BoundLabel()->Font().Color(), clWindowText);
  for (int i = 0; i < f->sPanel3->ControlCount(); ++i)
    EXPECT_EQ(dynamic_cast<TsEditLabel*>(f->sPanel3->Controls(i)), nullptr);

  // The scope.
  TGrScope* scope = f->GrScope1;
  EXPECT_EQ(scope->Parent(), f->sPanel4);
  EXPECT_EQ(scope->Align(), alClient);
  EXPECT_EQ(scope->BoundsRect(), Bounds(1, 1, 429, 98));
  EXPECT_EQ(scope->Hint(), "Reply Time (in milliseconds)");
  EXPECT_TRUE(scope->ShowHint());
  EXPECT_EQ(scope->Interval(), 250);
  EXPECT_TRUE(scope->Threaded());
  EXPECT_EQ(scope->MaxValue(), 75);
  EXPECT_EQ(scope->GridSize(), 8);
  EXPECT_EQ(scope->BaseOffset(), 10);
  EXPECT_EQ(scope->Frequency(), 8);
  ASSERT_EQ(scope->Channels().Count(), 1);
  EXPECT_EQ(scope->Channels()[0]->Style(), TGraphStyle::gsBar);
  EXPECT_EQ(scope->Channels()[0]->Color(), 0x0000FFFF);
  EXPECT_FALSE(scope->Active());

  // The buttons.
  struct Button {
    TsBitBtn* button;
    const char* name;
    TRect bounds;
    const char* caption;
    const char* hint;
  };
  const std::vector<Button> buttons{
      {f->sBitBtn1, "sBitBtn1", Bounds(7, 8, 65, 52), "Ping !", "Start Ping"},
      {f->sBitBtn2, "sBitBtn2", Bounds(76, 8, 65, 52), "Cancel", "Stop Ping"},
      {f->sBitBtn3, "sBitBtn3", Bounds(145, 8, 65, 51), "Clear Log", "Clear the Ping Log"},
      {f->sBitBtn4, "sBitBtn4", Bounds(214, 8, 70, 51), "Save Log...", "Save The Ping Log"},
      {f->sBitBtn5, "sBitBtn5", Bounds(288, 8, 65, 51), "About...", "About Brivane Sonarix"},
      {f->sBitBtn6, "sBitBtn6", Bounds(357, 8, 65, 51), "Exit", "Exit Brivane Sonarix"},
  };
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const Button& b = buttons[i];
    SCOPED_TRACE(b.name);
    EXPECT_EQ(b.button->Name(), b.name);
    EXPECT_EQ(b.button->Parent(), f->sPanel2);
    EXPECT_EQ(b.button->BoundsRect(), b.bounds);
    EXPECT_EQ(b.button->TabOrder(), static_cast<int>(i));
    EXPECT_EQ(b.button->Caption(), b.caption);
    EXPECT_EQ(b.button->Hint(), b.hint);
    EXPECT_TRUE(b.button->ShowHint());
    EXPECT_TRUE(b.button->Enabled());
    EXPECT_EQ(b.button->SkinData()->SkinSection(), "BUTTON");
    EXPECT_TRUE(b.button->Glyph().Empty());
    EXPECT_TRUE(BoundTo(b.button->OnClick, f));
  }

  // Bindings and the ping component's start values.
  EXPECT_TRUE(BoundTo(f->sEdit1->OnKeyPress, f));
  for (TsComboBox* c : {f->sComboBox1, f->sComboBox2, f->sComboBox3, f->sComboBox4, f->sComboBox5})
    EXPECT_TRUE(BoundTo(c->OnKeyPress, f)) << c->Name();
  EXPECT_TRUE(BoundTo(f->sComboBox5->OnChange, f));
  EXPECT_FALSE(f->sMemo1->OnKeyPress.Assigned());
  EXPECT_EQ(f->Ping1->Size(), 56);
  EXPECT_EQ(f->Ping1->Timeout(), 4000);
  EXPECT_EQ(f->Ping1->TTL(), 64);
  EXPECT_EQ(f->Ping1->Flags(), 0);

  // Tab order: host, count, size, time-out, TTL, threshold, the buttons, the log.
  std::vector<TWinControl*> order;
  f->GetTabOrderList(order);
  std::vector<std::string> names;
  names.reserve(order.size());
  for (TWinControl* c : order) names.push_back(c->Name());
  EXPECT_EQ(names,
            (std::vector<std::string>{"sEdit1", "sComboBox4", "sComboBox1", "sComboBox2",
                                      "sComboBox3", "sComboBox5", "sBitBtn1", "sBitBtn2",
                                      "sBitBtn3", "sBitBtn4", "sBitBtn5", "sBitBtn6", "sMemo1"}));
  EXPECT_EQ(f->ActiveControl(), f->sEdit1);
  EXPECT_EQ(f->Handle()->focusWidget(), f->sEdit1->Handle());
  // Growing the window gives the log the room; the captions stay.
  f->SetClientHeight(603);
  EXPECT_EQ(f->sPanel3->Height(), 363);
  EXPECT_EQ(f->sPanel4->Height(), 100);
  EXPECT_EQ(f->sPanel2->Height(), 67);
  EXPECT_EQ(f->sComboBox1->BoundLabel()->Label()->Top(), 31);
}

TEST_F(MainFormTest, MakingTheWindowLeavesTheApplicationsFontAndGivesEveryInputTahoma) {
  // The window's controls are made under its input font, which must not
  // stay the application's: a second window made afterwards, and Qt's own
  // boxes, take the desktop's font as before.
  const QFont desktop = QApplication::font();
  auto second = std::make_unique<TForm1>(nullptr);
  EXPECT_EQ(QApplication::font(), desktop);
  for (QLineEdit* edit : second->Handle()->findChildren<QLineEdit*>())
    EXPECT_EQ(edit->font().family(), QStringLiteral("Tahoma")) << edit->objectName().toStdString();
  EXPECT_FALSE(second->Handle()->findChildren<QLineEdit*>().isEmpty());
  EXPECT_EQ(QWidget().font(), desktop);
}

TEST_F(MainFormTest, CaptionsTakeTheSkinsColourAndWindowTextWithoutIt) {
  Pump(50);
  TsEditLabel* host = form_->sEdit1->BoundLabel()->Label();
  EXPECT_EQ(host->Font().Color(), 0x00B1B1B1);
  // On the screen: the caption's pixels are light over the panel's shading.
  const QImage shot = form_->sPanel1->Handle()->grab().toImage();
  int light = 0;
  for (int y = host->Top(); y < host->Top() + host->Height(); ++y)
    for (int x = host->Left(); x < host->Left() + host->Width(); ++x)
      light += qRed(shot.pixel(x, y)) >= 0xA0;
  EXPECT_GT(light, 20);
  // Greyed with its box.
  form_->sEdit1->SetEnabled(false);
  EXPECT_FALSE(host->Enabled());
  form_->sEdit1->SetEnabled(true);
  // The skin goes: every caption in the system's window-text colour.
  form_->sSkinManager1->SetActive(false);
  Pump(20);
  for (TsBoundLabel* b : {form_->sEdit1->BoundLabel(), form_->sComboBox4->BoundLabel(),
                          form_->sComboBox5->BoundLabel()})
    EXPECT_EQ(b->Label()->Font().Color(), clWindowText) << b->Label()->Name();
  form_->sSkinManager1->SetActive(true);
  Pump(100);
  EXPECT_EQ(host->Font().Color(), 0x00B1B1B1);
}

TEST_F(MainFormTest, EnterInEveryInputStartsASeries) {
  // No count picked before any series: each series ends at once.
  form_->sComboBox4->SetItemIndex(-1);
  for (TWinControl* input :
       std::vector<TWinControl*>{form_->sEdit1, form_->sComboBox4, form_->sComboBox1,
                                 form_->sComboBox2, form_->sComboBox3, form_->sComboBox5}) {
    form_->sMemo1->Clear();
    input->SetFocus();
    QTest::keyClick(input->Handle(), Qt::Key_Return);
    const std::vector<std::string> lines = LogLines(form_);
    ASSERT_EQ(lines.size(), 4u) << input->Name() << ": " << form_->sMemo1->Text();
    EXPECT_EQ(lines[0], "Resolving host '127.0.0.1'") << input->Name();
    EXPECT_EQ(lines[3], kFinished) << input->Name();
  }
  // Enter in the log starts a new line, not a series.
  form_->sMemo1->Clear();
  form_->sMemo1->SetFocus();
  QTest::keyClick(form_->sMemo1->Handle(), Qt::Key_Return);
  EXPECT_EQ(form_->sMemo1->Text().find("Resolving"), std::string::npos);
}

TEST_F(MainFormTest, TheLogsScrollBarIsTheSkinsAndClearingTheLogDisablesIt) {
  TsMemo* log = form_->sMemo1;
  ASSERT_NE(log->Frame(), nullptr);
  TsScrollBar* bar = log->Frame()->ScrollBar(SB_VERT);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(ScrollBarHandler(log, SB_VERT), bar);
  for (int i = 0; i < 60; ++i) log->Lines().Add("Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
  Application->ProcessMessages();
  ASSERT_TRUE(bar->Enabled());
  // Behind the bar lies the log's own colour, the "EDIT" section's.
  const TsBackground back = bar->Background();
  EXPECT_FALSE(back.IsBitmap());
  EXPECT_EQ(back.color, 0x494E49);
  QScrollBar* qt_bar = log->Editor()->verticalScrollBar();
  auto shot = [qt_bar] { return qt_bar->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  const int arrow = ScrollArrowLength(&DefaultManager()->Model(), SB_VERT);
  // The end is in view: the track shows the skin's colour above the slider.
  QImage image = shot();
  EXPECT_EQ(image.pixel(8, arrow + 4) & 0xFFFFFF, 0x414141u);
  EXPECT_NE(image.pixel(8, image.height() - arrow - 3) & 0xFFFFFF, 0x414141u);

  // "Clear Log": nothing to scroll, no slider.
  ClickButton(form_->sBitBtn3);
  Application->ProcessMessages();
  EXPECT_EQ(log->Lines().Count(), 0);
  EXPECT_FALSE(bar->Enabled());
  image = shot();
  for (int y = arrow; y < image.height() - arrow; ++y)
    ASSERT_EQ(image.pixel(8, y) & 0xFFFFFF, 0x414141u) << y;
}

}  // namespace
