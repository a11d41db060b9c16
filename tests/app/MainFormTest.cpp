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

}  // namespace
