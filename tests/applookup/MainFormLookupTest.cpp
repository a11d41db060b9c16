// The main window with host names: the lookup runs while the window goes on
// working, "Cancel" and Enter during an outstanding lookup. Names are served
// by the test's own resolver sandbox (dnsmasq, or a DNS port that never
// answers).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/Unit1.h"
#include "support/NetNs.h"
#include "support/ResolverSandbox.h"

namespace {

const char* kRecords =
    "127.0.0.1 loop.sonarix.test\n"
    "127.0.0.1 other.sonarix.test\n";

#define SX_IN_SANDBOX(records)                                     \
  do {                                                             \
    SX_REQUIRE_ROOT();                                             \
    if (!sxtest::InResolverSandbox()) {                            \
      ASSERT_EQ(sxtest::RerunInResolverSandbox({"", records}), 0); \
      return;                                                      \
    }                                                              \
  } while (0)

constexpr const char* kFinished = "*************Finished************";

std::vector<std::string> LogLines(TForm1* form) {
  std::vector<std::string> lines;
  TStrings& l = form->sMemo1->Lines();
  lines.reserve(static_cast<std::size_t>(l.Count()));
  for (int i = 0; i < l.Count(); ++i) lines.push_back(l[i]);
  return lines;
}

template <class F>
bool PumpUntil(F done, int ms = 8000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class MainFormLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sxtest::InResolverSandbox()) return;  // the parent only starts the child
    Application->Initialize();
    PingCount = 0;
    Pinging = false;
    StopRequested = false;
    form_ = new TForm1(Application);
    form_->Show();
  }
  void TearDown() override { delete form_; }
  void Click(TBitBtn* button) {
    QTest::mouseClick(button->Handle(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  }
  TForm1* form_ = nullptr;
};

TEST_F(MainFormLookupTest, ATypedNameResolvesWhileTheWindowGoesOn) {
  SX_IN_SANDBOX(kRecords);
  form_->sEdit1->SetText("loop.sonarix.test");
  Click(form_->sBitBtn1);
  // The click has returned; the lookup is outstanding.
  EXPECT_EQ(LogLines(form_), std::vector<std::string>{"Resolving host 'loop.sonarix.test'"});
  EXPECT_FALSE(form_->sBitBtn1->Enabled());
  ASSERT_TRUE(
      PumpUntil([&] { return !LogLines(form_).empty() && LogLines(form_).back() == kFinished; }));
  const auto lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 10u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[1], "Host 'loop.sonarix.test' is 127.0.0.1");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
  EXPECT_EQ(lines[4].rfind("Received 56 bytes from 127.0.0.1 in ", 0), 0u) << lines[4];
  EXPECT_TRUE(form_->sBitBtn1->Enabled());
  EXPECT_TRUE(form_->sBitBtn2->Enabled());
}

// A name with an IPv6 address only: the same lines, the IPv6 address in
// the address's place.
TEST_F(MainFormLookupTest, ANameWithOnlyAnIpv6AddressIsPingedOverIpv6) {
  SX_IN_SANDBOX("::1 loop6.sonarix.test\n");
  form_->sEdit1->SetText("loop6.sonarix.test");
  Click(form_->sBitBtn1);
  ASSERT_TRUE(
      PumpUntil([&] { return !LogLines(form_).empty() && LogLines(form_).back() == kFinished; }));
  const auto lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 10u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[0], "Resolving host 'loop6.sonarix.test'");
  EXPECT_EQ(lines[1], "Host 'loop6.sonarix.test' is ::1");
  EXPECT_EQ(lines[2], "");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[3 + 2 * i], "Sending 56 bytes to ::1 (::1)");
    EXPECT_EQ(lines[4 + 2 * i].rfind("Received 56 bytes from ::1 in ", 0), 0u) << lines[4 + 2 * i];
  }
}

TEST_F(MainFormLookupTest, AnUnknownNameWritesTheUnknownHostLine) {
  SX_IN_SANDBOX(kRecords);
  form_->sEdit1->SetText("nosuch.sonarix.test");
  Click(form_->sBitBtn1);
  ASSERT_TRUE(PumpUntil([&] { return LogLines(form_).size() == 2; }));
  EXPECT_EQ(LogLines(form_), (std::vector<std::string>{"Resolving host 'nosuch.sonarix.test'",
                                                       "Unknown Host 'nosuch.sonarix.test'"}));
  EXPECT_TRUE(Pinging);
  EXPECT_TRUE(form_->sBitBtn1->Enabled());
  EXPECT_TRUE(form_->sBitBtn2->Enabled());
}

TEST_F(MainFormLookupTest, CancelDuringALookupEndsItWithTheUnknownHostLine) {
  SX_IN_SANDBOX("");
  const int silent = sxtest::BindSilentDnsPort("127.0.0.2");
  ASSERT_GE(silent, 0);
  form_->sEdit1->SetText("slow.sonarix.test");
  Click(form_->sBitBtn1);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(LogLines(form_).size(), 1u);
  EXPECT_FALSE(form_->sBitBtn1->Enabled());
  Click(form_->sBitBtn2);
  EXPECT_EQ(LogLines(form_), (std::vector<std::string>{"Resolving host 'slow.sonarix.test'",
                                                       "Unknown Host 'slow.sonarix.test'"}));
  EXPECT_TRUE(form_->sBitBtn1->Enabled());
  EXPECT_TRUE(form_->sBitBtn2->Enabled());
  EXPECT_TRUE(StopRequested);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(LogLines(form_).size(), 2u) << "no echo, nothing more";
  ::close(silent);
}

TEST_F(MainFormLookupTest, EnterDuringAnOutstandingLookupStartsAgainWithTheNewName) {
  SX_IN_SANDBOX(kRecords);
  // No message pass runs between the two key presses, so the first lookup
  // is still outstanding when the second starts.
  form_->sComboBox4->SetItemIndex(0);
  form_->sEdit1->SetFocus();
  form_->sEdit1->SetText("other.sonarix.test");
  QTest::keyClick(form_->sEdit1->Handle(), Qt::Key_Return);
  EXPECT_EQ(LogLines(form_).size(), 1u);
  form_->sEdit1->SetText("loop.sonarix.test");
  QTest::keyClick(form_->sEdit1->Handle(), Qt::Key_Return);
  ASSERT_TRUE(
      PumpUntil([&] { return !LogLines(form_).empty() && LogLines(form_).back() == kFinished; }));
  PumpUntil([] { return false; }, 300);
  const auto lines = LogLines(form_);
  ASSERT_EQ(lines.size(), 10u) << form_->sMemo1->Text();
  EXPECT_EQ(lines[0], "Resolving host 'loop.sonarix.test'");
  EXPECT_EQ(lines[1], "Host 'loop.sonarix.test' is 127.0.0.1");
  EXPECT_EQ(lines[9], kFinished);
}

TEST_F(MainFormLookupTest, TheWindowStaysResponsiveDuringASlowLookup) {
  SX_IN_SANDBOX("");
  const int silent = sxtest::BindSilentDnsPort("127.0.0.2");
  ASSERT_GE(silent, 0);
  TPaintCounter counter;
  qApp->installEventFilter(&counter);
  form_->sEdit1->SetText("slow.sonarix.test");
  Click(form_->sBitBtn1);
  ASSERT_TRUE(form_->Ping1->LookupOutstanding());
  // Clicks are handled: "Clear Log" empties the log.
  Click(form_->sBitBtn3);
  EXPECT_EQ(form_->sMemo1->Lines().Count(), 0);
  // Repaints happen.
  const int before = counter.paints;
  form_->Handle()->window()->update();
  form_->sMemo1->Handle()->update();
  EXPECT_TRUE(PumpUntil([&] { return counter.paints > before; }, 2000));
  // Typing goes into the host box.
  form_->sEdit1->SetFocus();
  QTest::keyClicks(form_->sEdit1->Handle(), "x");
  EXPECT_EQ(form_->sEdit1->Text(), "slow.sonarix.testx");
  EXPECT_TRUE(form_->Ping1->LookupOutstanding());
  EXPECT_EQ(form_->sMemo1->Lines().Count(), 0) << "nothing from the lookup meanwhile";
  Click(form_->sBitBtn2);
  EXPECT_FALSE(form_->Ping1->LookupOutstanding());
  qApp->removeEventFilter(&counter);
  ::close(silent);
}

}  // namespace
