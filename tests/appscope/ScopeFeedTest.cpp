// The main window's scope: the threshold box, the feed and its colour rule,
// and a real series to a host 30 ms away behind namespaces the test builds.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/Unit1.h"
#include "support/NetNs.h"
#include "support/PaintWatch.h"

namespace {

std::vector<int> Samples(TGrScope* scope) {
  std::vector<int> out;
  for (std::string_view h = scope->Channels()[0]->History(); !h.empty();)
    out.push_back(PopGrRecord(h));
  return out;
}

class ScopeFeed : public ::testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    Pinging = false;
    StopRequested = false;
  }
  void TearDown() override { delete form; }
  void MakeForm() {
    form = new TForm1(Application);
    form->Show();
  }
  TForm1* form = nullptr;
};

TEST_F(ScopeFeed, ScopeHasTheMainWindowsSettingsAndStartsOff) {
  MakeForm();
  TGrScope* s = form->GrScope1;
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->Parent(), form->sPanel4);
  EXPECT_EQ(s->BoundsRect(), Bounds(1, 1, 429, 98));
  EXPECT_EQ(s->Align(), alClient);
  EXPECT_EQ(s->Hint(), "Reply Time (in milliseconds)");
  EXPECT_TRUE(s->ShowHint());
  EXPECT_FALSE(s->ParentShowHint());
  EXPECT_EQ(s->Interval(), 250);
  EXPECT_EQ(s->MaxValue(), 75);
  EXPECT_EQ(s->MinValue(), 0);
  ASSERT_EQ(s->Channels().Count(), 1);
  EXPECT_EQ(s->Channels()[0]->Style(), TGraphStyle::gsBar);
  EXPECT_EQ(s->Channels()[0]->Color(), 0x0000FFFF);
  EXPECT_EQ(s->GridSize(), 8);
  EXPECT_EQ(s->BaseOffset(), 10);
  EXPECT_EQ(s->Frequency(), 8);
  EXPECT_TRUE(s->Threaded());
  EXPECT_FALSE(s->Active());
  EXPECT_TRUE(s->OnNeedData().Assigned());
  // Growing the window keeps the scope 98 high.
  form->SetClientSize(431, 603);
  EXPECT_EQ(s->Height(), 98);
}

TEST_F(ScopeFeed, ThresholdBoxSetsTheBaseOffsetAndTextSelectingNoItemChangesNothing) {
  MakeForm();
  for (int i = 0; i < 7; ++i) {
    form->sComboBox5->SetItemIndex(i);
    form->sComboBox5Change(form->sComboBox5);
    EXPECT_EQ(form->GrScope1->BaseOffset(), 10 * (i + 1));
  }
  form->sComboBox5->SetItemIndex(-1);
  form->sComboBox5->SetText("25 msec");
  form->sComboBox5Change(form->sComboBox5);
  EXPECT_EQ(form->GrScope1->BaseOffset(), 70);
}

TEST_F(ScopeFeed, WithoutASeriesEverySampleIsZeroAndTheColourStays) {
  MakeForm();
  TGrChannel* c = form->GrScope1->Channels()[0];
  c->SetColor(0x000000FF);
  int v = 55;
  form->GrScope1NeedData(form->GrScope1, 3, v);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(c->Color(), 0x000000FF);
  form->GrScope1->TimerTick(nullptr);
  EXPECT_EQ(Samples(form->GrScope1), std::vector<int>{0});
}

TEST_F(ScopeFeed, ATickRepaintsTheScopeAloneAndALogLineItsStripAndTheSlider) {
  MakeForm();
  for (int i = 0; i < 40; ++i)
    form->sMemo1->Lines().Add("Received 56 bytes from 127.0.0.1 in 0 msecs");
  Application->ProcessMessages();
  QPlainTextEdit* log = form->sMemo1->Editor();
  QScrollBar* bar = log->verticalScrollBar();
  sxtest::TPaintWatch view(log->viewport()), slider(bar), panel(form->sPanel4->Handle());

  // A tick without a new line: the scope moves its picture and paints the
  // strip where the sample comes in (twice the 8-pixel step and two more),
  // nothing of the log.
  form->GrScope1->TimerTick(nullptr);
  Application->ProcessMessages();
  const TRect scope = form->GrScope1->BoundsRect();
  EXPECT_EQ(panel.Take().boundingRect(), QRect(scope.Right - 18, scope.Top, 18, scope.Height()));
  EXPECT_TRUE(view.Take().isEmpty());
  EXPECT_TRUE(slider.Take().isEmpty());

  // A line and a tick: the line's strip at the bottom of the text (the rest
  // of the text moves; the blank rows below it stay), and where the slider
  // was and is.
  form->sMemo1->Lines().Add("Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
  form->GrScope1->TimerTick(nullptr);
  Application->ProcessMessages();
  const int line = log->fontMetrics().lineSpacing();
  const QRect strip = view.Take().boundingRect();
  EXPECT_LE(strip.height(), 3 * line);
  const QRect last_line = log->cursorRect(QTextCursor(log->document()->lastBlock().previous()));
  EXPECT_EQ(strip.bottom(), last_line.bottom());
  EXPECT_LT(strip.bottom(), log->viewport()->height() - 1);
  const QRect moved = slider.Take().boundingRect();
  EXPECT_FALSE(moved.isEmpty());
  EXPECT_LT(moved.height(), bar->height() / 2);
  EXPECT_EQ(form->sMemo1->Lines()[form->sMemo1->Lines().Count() - 1],
            "Sending 56 bytes to 127.0.0.1 (127.0.0.1)");
}

TEST_F(ScopeFeed, CancelSwitchesTheScopeOff) {
  MakeForm();
  form->GrScope1->SetActive(true);
  form->sBitBtn2Click(form->sBitBtn2);
  EXPECT_FALSE(form->GrScope1->Active());
}

// Puts the calling (GUI) thread into a namespace for the scope of the object.
class TEnterNetNs {
 public:
  explicit TEnterNetNs(const sxtest::TNetNs& ns) {
    own_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int fd = ::open(("/run/netns/" + ns.Name()).c_str(), O_RDONLY | O_CLOEXEC);
    ok_ = own_ >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
    if (fd >= 0) ::close(fd);
  }
  ~TEnterNetNs() {
    if (ok_) ::setns(own_, CLONE_NEWNET);
    if (own_ >= 0) ::close(own_);
  }
  bool Ok() const { return ok_; }

 private:
  int own_ = -1;
  bool ok_ = false;
};

struct TSeriesResult {
  std::vector<int> samples;
  TColor colour = 0;
  int base_row = 0;
  QImage shot;
};

class ScopeSeries : public ScopeFeed {
 protected:
  // Five echoes to the slow host with the threshold box at `item`.
  TSeriesResult Run(int item, const char* host = sxtest::TPingLab::kTargetIp) {
    form->sEdit1->SetText(host);
    form->sComboBox4->SetItemIndex(1);  // 5 echoes
    form->sComboBox5->SetItemIndex(item);
    form->sComboBox5Change(form->sComboBox5);
    form->GrScope1->ClearHistory();
    // The series runs inside the click; the scope's ticks run only in its
    // message passes.
    form->sBitBtn1->Click();
    TSeriesResult r;
    r.samples = Samples(form->GrScope1);
    r.colour = form->GrScope1->Channels()[0]->Color();
    r.base_row = form->GrScope1->BaseRow();
    r.shot = form->GrScope1->ImageBitmap().Image().copy();
    return r;
  }
};

TEST_F(ScopeSeries, SlowHostPaintsRedOverTwentyAndYellowUnderFortyOneSamplePerEcho) {
  SX_REQUIRE_ROOT();
  sxtest::TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  sxtest::TIcmpResponder responder(lab.target, 30);
  ASSERT_TRUE(responder.Ok());
  TEnterNetNs inside(lab.client);
  ASSERT_TRUE(inside.Ok());
  MakeForm();

  const TSeriesResult red = Run(1);  // "20 msec"
  ASSERT_EQ(form->sMemo1->Lines()[form->sMemo1->Lines().Count() - 1],
            "*************Finished************")
      << form->sMemo1->Text();
  EXPECT_FALSE(form->GrScope1->Active());
  // About one sample per echo, not one per 250 ms: the first comes in the
  // second echo's message pass.
  EXPECT_GE(red.samples.size(), 3u);
  EXPECT_LE(red.samples.size(), 5u);
  for (int v : red.samples) {
    EXPECT_GE(v, 29);
    EXPECT_LE(v, 45);
  }
  EXPECT_EQ(red.colour, 0x000000FF);
  EXPECT_EQ(red.base_row, 98 - 20 - 1);  // 19.6 rounds to 20
  auto pixel = [](const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; };
  EXPECT_EQ(pixel(red.shot, 5, red.base_row), 0x00FF00u);
  // The newest step, at the right edge, on the row of 29..45 ms.
  auto trace_at_right_edge = [&](const QImage& img, unsigned rgb) {
    for (int y = 98 - 60 - 1; y <= 98 - 38 - 1; ++y)
      if (pixel(img, 429 - 4, y) == rgb) return true;
    return false;
  };
  EXPECT_TRUE(trace_at_right_edge(red.shot, 0xFF0000u));  // red, as the screen has it
  EXPECT_FALSE(trace_at_right_edge(red.shot, 0xFFFF00u));

  const TSeriesResult yellow = Run(3);  // "40 msec"
  EXPECT_GE(yellow.samples.size(), 3u);
  EXPECT_LE(yellow.samples.size(), 5u);
  EXPECT_EQ(yellow.colour, 0x0000FFFF);
  EXPECT_EQ(yellow.base_row, 98 - 39 - 1);  // 39.2 rounds to 39
  EXPECT_EQ(pixel(yellow.shot, 5, yellow.base_row), 0x00FF00u);
  EXPECT_TRUE(trace_at_right_edge(yellow.shot, 0xFFFF00u));
  EXPECT_FALSE(trace_at_right_edge(yellow.shot, 0xFF0000u));
  yellow.shot.save(SONARIX_BINARY_DIR "/scope-series-40ms.png");
  red.shot.save(SONARIX_BINARY_DIR "/scope-series-20ms.png");
}

// The same over IPv6: the reply time feeds the scope, and the log names
// the IPv6 address.
TEST_F(ScopeSeries, AnIpv6HostFeedsTheScopeAsAnIpv4OneDoes) {
  SX_REQUIRE_ROOT();
  sxtest::TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  sxtest::TIcmpResponder responder(lab.target, 30);
  ASSERT_TRUE(responder.Ok());
  TEnterNetNs inside(lab.client);
  ASSERT_TRUE(inside.Ok());
  MakeForm();

  const std::string ip = sxtest::TPingLab6::kTargetIp6;
  const TSeriesResult r = Run(3, ip.c_str());  // "40 msec": yellow
  TStrings& log = form->sMemo1->Lines();
  ASSERT_EQ(log[log.Count() - 1], "*************Finished************") << form->sMemo1->Text();
  EXPECT_EQ(log[1], "Host '" + ip + "' is " + ip);
  EXPECT_EQ(log[3], "Sending 56 bytes to " + ip + " (" + ip + ")");
  EXPECT_EQ(log[4].rfind("Received 56 bytes from " + ip + " in 3", 0), 0u) << log[4];
  EXPECT_GE(r.samples.size(), 3u);
  for (int v : r.samples) {
    EXPECT_GE(v, 29);
    EXPECT_LE(v, 45);
  }
  EXPECT_EQ(r.colour, 0x0000FFFF);
}

}  // namespace
