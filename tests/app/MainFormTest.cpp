// The real main window under the offscreen platform: a series against
// 127.0.0.1, Cancel during a series, and saving the log through the save
// dialog and the error boxes, all driven through the application's window
// hook as a user would answer them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
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
#include "skin/sScrollBar.h"

namespace {

bool CanPing() {
  if (geteuid() == 0) return true;
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::vector<std::string> LogLines(TForm1* form) {
  std::vector<std::string> lines;
  TStrings& l = form->sMemo1->Lines();
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
    while (filler.write(page.data(), page.size()) && filler.flush()) {
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

TEST_F(MainFormTest, WindowMatchesItsStoredLayout) {
  EXPECT_EQ(form_->Caption(), "Sonarix 1.0");
  EXPECT_EQ(form_->ClientWidth(), 431);
  EXPECT_EQ(form_->ClientHeight(), 503);
  EXPECT_EQ(form_->sPanel1->BoundsRect(), Bounds(0, 0, 431, 73));
  EXPECT_EQ(form_->sPanel3->BoundsRect(), Bounds(0, 73, 431, 263));
  EXPECT_EQ(form_->sPanel4->BoundsRect(), Bounds(0, 336, 431, 100));
  EXPECT_EQ(form_->sPanel2->BoundsRect(), Bounds(0, 436, 431, 67));
  EXPECT_EQ(form_->sMemo1->BoundsRect(), Bounds(1, 1, 429, 261));
  // Captions where the bound labels stand.
  EXPECT_EQ(form_->sEdit1Label->Top(), 9);
  EXPECT_EQ(form_->sEdit1Label->Left() + form_->sEdit1Label->Width(), 82);
  EXPECT_EQ(form_->sComboBox1Label->Top(), 31);
  EXPECT_EQ(form_->sComboBox1Label->Left(), 7);
  EXPECT_EQ(form_->sComboBox5->ItemIndex(), -1);
  EXPECT_EQ(form_->sComboBox5->Text(), "10 msec");
  EXPECT_EQ(form_->sComboBox4->ItemIndex(), 0);
  EXPECT_EQ(form_->sComboBox4->Text(), "3");
  // Tab order: host, count, size, time-out, TTL, threshold, the buttons, the log.
  std::vector<TWinControl*> order;
  form_->GetTabOrderList(order);
  std::vector<std::string> names;
  for (TWinControl* c : order) names.push_back(c->Name());
  EXPECT_EQ(names,
            (std::vector<std::string>{"sEdit1", "sComboBox4", "sComboBox1", "sComboBox2",
                                      "sComboBox3", "sComboBox5", "sBitBtn1", "sBitBtn2",
                                      "sBitBtn3", "sBitBtn4", "sBitBtn5", "sBitBtn6", "sMemo1"}));
  EXPECT_EQ(form_->ActiveControl(), form_->sEdit1);
  EXPECT_EQ(form_->Handle()->focusWidget(), form_->sEdit1->Handle());
  // Growing the window gives the log the room.
  form_->SetClientHeight(603);
  EXPECT_EQ(form_->sPanel3->Height(), 363);
  EXPECT_EQ(form_->sPanel4->Height(), 100);
  EXPECT_EQ(form_->sPanel2->Height(), 67);
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
