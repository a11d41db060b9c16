#include <gtest/gtest.h>

#include <climits>

#include "ScopeTestUtil.h"
#include "toolkit/SysUtils.h"

namespace {

std::vector<int> Records(const TGrChannel& c) {
  std::vector<int> out;
  std::string_view rest = c.History();
  while (!rest.empty()) out.push_back(PopGrRecord(rest));
  return out;
}

class ScopeData : public ::testing::Test {
 protected:
  void SetUp() override {
    scope.SetBounds(0, 0, 429, 98);
    scope.SetMaxValue(75);
    scope.Channels().Add();
    scope.SetOnNeedData(TGrNeedDataEvent(&feed, &TFeed::NeedData));
  }
  void Tick(std::initializer_list<int> values) {
    for (int v : values) {
      feed.queue.push_back(v);
      scope.TimerTick(nullptr);
    }
  }
  TGrScope scope{nullptr};
  TFeed feed;
};

TEST(GrScopeDefaults, ConstructedValues) {
  TGrScope s(nullptr);
  EXPECT_TRUE(s.AutoUpdate());
  EXPECT_EQ(s.Interval(), 100);
  EXPECT_TRUE(s.AnimateGrid());
  EXPECT_EQ(s.MaxValue(), 100);
  EXPECT_EQ(s.MinValue(), 0);
  EXPECT_EQ(s.Channels().Count(), 0);
  EXPECT_EQ(s.Channels().Owner(), &s);
  EXPECT_EQ(s.Direction(), TScrolldirection::sdRightToLeft);
  EXPECT_EQ(s.GridSize(), 16);
  EXPECT_EQ(s.GridLineWidth(), 1);
  EXPECT_EQ(s.GridColor(), 0x008000);
  EXPECT_EQ(s.BaseOffset(), 50);
  EXPECT_EQ(s.BaseColor(), 0x00FF00);
  EXPECT_EQ(s.Frequency(), 1);
  EXPECT_EQ(s.BufferSize(), 999);
  EXPECT_TRUE(s.Threaded());
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(s.Color(), clBlack);
  EXPECT_FALSE(s.ParentColor());
  EXPECT_EQ(s.Width(), 249);
  EXPECT_EQ(s.Height(), 137);
  EXPECT_TRUE(s.ControlStyle() & csOpaque);
  EXPECT_FALSE(s.ControlStyle() & csSetCaption);
  EXPECT_EQ(s.Version(), "1.3");
  EXPECT_FALSE(s.Timer().Enabled());
  EXPECT_EQ(s.Timer().Owner(), nullptr);
  TGrChannel* c = s.Channels().Add();
  EXPECT_EQ(c->Color(), clYellow);
  EXPECT_EQ(c->Width(), 1);
  EXPECT_EQ(c->Style(), TGraphStyle::gsLine);
  EXPECT_TRUE(c->Visible());
  EXPECT_TRUE(c->History().empty());
}

TEST(GrScopeRecords, FixedWidthDecimalRecords) {
  EXPECT_EQ(FormatGrRecord(42), "0000000042");
  EXPECT_EQ(FormatGrRecord(-5), "-000000005");
  EXPECT_EQ(FormatGrRecord(0), "0000000000");
  EXPECT_EQ(FormatGrRecord(kGrScopeIntMax), "0999999999");
  EXPECT_EQ(FormatGrRecord(kGrScopeIntMin), "-999999999");
  std::string_view text = "-0000000050000000042";
  EXPECT_EQ(PopGrRecord(text), -5);
  EXPECT_EQ(PopGrRecord(text), 42);
  EXPECT_TRUE(text.empty());
}

TEST_F(ScopeData, SamplesAreClampedIntoTheRangeAndPrependedNewestFirst) {
  Tick({120, -3, 30});
  EXPECT_EQ(scope.Channels()[0]->History(), "000000003000000000000000000075");
  EXPECT_EQ(Records(*scope.Channels()[0]), (std::vector<int>{30, 0, 75}));
}

TEST_F(ScopeData, UnassignedOrUntouchedValueRecordsMinValue) {
  scope.SetMinValue(-20);
  Tick({});
  scope.TimerTick(nullptr);  // handler leaves the value as it came
  scope.SetOnNeedData(nullptr);
  scope.TimerTick(nullptr);
  EXPECT_EQ(Records(*scope.Channels()[0]), (std::vector<int>{-20, -20}));
}

TEST_F(ScopeData, TheThousandthSamplePushesOutTheOldest) {
  for (int i = 0; i < 999; ++i) Tick({i % 70});
  ASSERT_EQ(scope.Channels()[0]->History().size(), 9990u);
  EXPECT_EQ(Records(*scope.Channels()[0]).back(), 0);  // the very first sample
  Tick({74});
  const std::vector<int> r = Records(*scope.Channels()[0]);
  ASSERT_EQ(r.size(), 999u);
  EXPECT_EQ(scope.Channels()[0]->History().size(), 9990u);
  EXPECT_EQ(r.front(), 74);
  EXPECT_EQ(r.back(), 1);  // the second sample is now the oldest
}

TEST_F(ScopeData, BufferSizeZeroOrLessKeepsHistoriesEmptyAndShorteningTakesEffectAtTheNextSample) {
  Tick({1, 2, 3, 4});
  scope.SetBufferSize(2);
  EXPECT_EQ(Records(*scope.Channels()[0]).size(), 4u);
  Tick({5});
  EXPECT_EQ(Records(*scope.Channels()[0]), (std::vector<int>{5, 4}));
  scope.SetBufferSize(0);
  Tick({6});
  EXPECT_TRUE(scope.Channels()[0]->History().empty());
  scope.SetBufferSize(-7);
  Tick({7});
  EXPECT_TRUE(scope.Channels()[0]->History().empty());
}

TEST_F(ScopeData, RangeWritesKeepTheirOrderAndClearHistoriesOnlyWhenApplied) {
  Tick({10, 20});
  scope.SetMaxValue(0);   // equal to MinValue: ignored
  scope.SetMaxValue(-4);  // below MinValue: ignored
  scope.SetMaxValue(75);  // unchanged: ignored
  scope.SetMinValue(75);
  scope.SetMinValue(80);
  EXPECT_EQ(scope.MinValue(), 0);
  EXPECT_EQ(scope.MaxValue(), 75);
  EXPECT_EQ(Records(*scope.Channels()[0]).size(), 2u);
  scope.SetMaxValue(60);
  EXPECT_EQ(scope.MaxValue(), 60);
  EXPECT_TRUE(scope.Channels()[0]->History().empty());
  Tick({5});
  scope.SetMinValue(-10);
  EXPECT_EQ(scope.MinValue(), -10);
  EXPECT_TRUE(scope.Channels()[0]->History().empty());
}

TEST_F(ScopeData, ValuesOutsideTheirTypesAreRefusedWithARangeError) {
  Tick({10});
  EXPECT_THROW(scope.SetMaxValue(kGrScopeIntMax + 1), ERangeError);
  EXPECT_THROW(scope.SetMinValue(kGrScopeIntMin - 1), ERangeError);
  EXPECT_THROW(scope.SetMinValue(INT_MIN), ERangeError);
  EXPECT_THROW(scope.SetGridSize(0), ERangeError);
  EXPECT_THROW(scope.SetGridSize(-16), ERangeError);
  EXPECT_THROW(scope.SetFrequency(0), ERangeError);
  EXPECT_THROW(scope.SetBaseOffset(101), ERangeError);
  EXPECT_THROW(scope.SetBaseOffset(-1), ERangeError);
  EXPECT_THROW(scope.SetInterval(-1), ERangeError);
  EXPECT_EQ(scope.MaxValue(), 75);
  EXPECT_EQ(scope.MinValue(), 0);
  EXPECT_EQ(scope.GridSize(), 16);
  EXPECT_EQ(scope.Frequency(), 1);
  EXPECT_EQ(scope.BaseOffset(), 50);
  EXPECT_EQ(Records(*scope.Channels()[0]).size(), 1u);
  // The extremes of the range still give ten-character records.
  scope.SetMinValue(kGrScopeIntMin);
  scope.SetMaxValue(kGrScopeIntMax);
  Tick({INT_MIN, INT_MAX});
  EXPECT_EQ(scope.Channels()[0]->History(), "0999999999-999999999");
}

TEST_F(ScopeData, ChannelAssignmentCopiesColourWidthAndStyleOnly) {
  TGrChannel* a = scope.Channels()[0];
  TGrChannel* b = scope.Channels().Add();
  Tick({1, 2});
  b->SetColor(clRed);
  b->SetWidth(3);
  b->SetStyle(TGraphStyle::gsBar);
  a->SetVisible(false);
  a->Assign(b);
  EXPECT_EQ(a->Color(), clRed);
  EXPECT_EQ(a->Width(), 3);
  EXPECT_EQ(a->Style(), TGraphStyle::gsBar);
  EXPECT_FALSE(a->Visible());
  EXPECT_EQ(Records(*a).size(), 2u);
  TGrTimer other(nullptr);
  EXPECT_THROW(a->Assign(&other), EConvertError);
}

TEST_F(ScopeData, ChannelsWriteReplacesChannelsByFreshCopies) {
  TGrScope source(nullptr);
  TGrChannel* s0 = source.Channels().Add();
  s0->SetColor(clRed);
  s0->SetStyle(TGraphStyle::gsBar);
  s0->SetVisible(false);
  TGrChannel* s1 = source.Channels().Add();
  s1->SetWidth(4);
  Tick({3});
  scope.SetChannels(source.Channels());
  ASSERT_EQ(scope.Channels().Count(), 2);
  EXPECT_EQ(scope.Channels()[0]->Color(), clRed);
  EXPECT_EQ(scope.Channels()[0]->Style(), TGraphStyle::gsBar);
  EXPECT_TRUE(scope.Channels()[0]->Visible());
  EXPECT_TRUE(scope.Channels()[0]->History().empty());
  EXPECT_EQ(scope.Channels()[1]->Width(), 4);
  // Assigning the collection to itself keeps its channels.
  scope.SetChannels(scope.Channels());
  ASSERT_EQ(scope.Channels().Count(), 2);
  EXPECT_EQ(scope.Channels()[0]->Color(), clRed);
  EXPECT_THROW(scope.Channels()[2], ERangeError);
}

TEST_F(ScopeData, HiddenChannelIsStillSampled) {
  scope.Channels()[0]->SetVisible(false);
  Tick({9, 8});
  EXPECT_EQ(feed.calls, 2);
  EXPECT_EQ(Records(*scope.Channels()[0]), (std::vector<int>{8, 9}));
}

TEST_F(ScopeData, AnExceptionInOnNeedDataEndsTheTickAtThatChannel) {
  scope.Channels().Add();
  scope.Channels().Add();
  int calls = 0;
  scope.SetOnNeedData(TGrNeedDataEvent([&](TObject*, int channel, int& v) {
    ++calls;
    if (channel == 1) throw Exception("no data");
    v = 7;
  }));
  EXPECT_THROW(scope.TimerTick(nullptr), Exception);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(Records(*scope.Channels()[0]), (std::vector<int>{7}));
  EXPECT_TRUE(scope.Channels()[1]->History().empty());
  EXPECT_TRUE(scope.Channels()[2]->History().empty());
}

TEST_F(ScopeData, NeedDataGetsTheScopeAndEachChannelIndexInOrder) {
  scope.Channels().Add();
  std::vector<int> seen;
  scope.SetOnNeedData(TGrNeedDataEvent([&](TObject* sender, int channel, int& v) {
    EXPECT_EQ(sender, &scope);
    EXPECT_EQ(v, scope.MinValue());
    seen.push_back(channel);
  }));
  scope.TimerTick(nullptr);
  EXPECT_EQ(seen, (std::vector<int>{0, 1}));
}

TEST(GrScopeGrid, PhaseMovesByFrequencyAndStaysWithinOneGridSpacing) {
  TGrScope s(nullptr);
  s.SetGridSize(8);
  s.SetFrequency(3);
  std::vector<int> phases;
  for (int i = 0; i < 4; ++i) {
    s.TimerTick(nullptr);
    phases.push_back(s.GridPhase());
  }
  EXPECT_EQ(phases, (std::vector<int>{3, 6, 1, 4}));
  s.SetDirection(TScrolldirection::sdLeftToRight);
  phases.clear();
  for (int i = 0; i < 3; ++i) {
    s.TimerTick(nullptr);
    phases.push_back(s.GridPhase());
  }
  EXPECT_EQ(phases, (std::vector<int>{1, 6, 3}));  // 4-3, then 1-3 <= 0 -> +8
  // Frequency equal to GridSize: the lines stand still.
  s.SetFrequency(8);
  s.TimerTick(nullptr);
  const int still = s.GridPhase();
  s.TimerTick(nullptr);
  EXPECT_EQ(s.GridPhase(), still);
  // Larger than GridSize, either way, even at the type's limit.
  for (auto dir : {TScrolldirection::sdRightToLeft, TScrolldirection::sdLeftToRight}) {
    s.SetDirection(dir);
    for (int f : {19, 1000, INT_MAX}) {
      s.SetFrequency(f);
      for (int i = 0; i < 5; ++i) {
        s.TimerTick(nullptr);
        EXPECT_GE(s.GridPhase(), 0);
        EXPECT_LE(s.GridPhase(), 8);
      }
    }
  }
  s.SetAnimateGrid(false);
  const int frozen = s.GridPhase();
  s.TimerTick(nullptr);
  EXPECT_EQ(s.GridPhase(), frozen);
}

TEST(GrScopeTimer, ActiveAndAutoUpdateDriveTheTimerAndIntervalAndThreadedLiveInIt) {
  TGrScope s(nullptr);
  s.SetInterval(250);
  EXPECT_EQ(s.Timer().Interval(), 250u);
  s.SetActive(true);
  EXPECT_TRUE(s.Timer().Enabled());
  s.SetAutoUpdate(false);
  EXPECT_FALSE(s.Timer().Enabled());
  s.SetAutoUpdate(true);
  EXPECT_TRUE(s.Timer().Enabled());
  s.Timer().SetEnabled(false);
  s.SetActive(true);  // unchanged: ignored
  EXPECT_FALSE(s.Timer().Enabled());
  s.SetAutoUpdate(true);  // always re-applied
  EXPECT_TRUE(s.Timer().Enabled());
  s.SetThreaded(false);
  EXPECT_EQ(s.Timer().TimerType(), TGrTimerType::ttSystem);
  EXPECT_FALSE(s.Threaded());
  s.SetThreaded(true);
  EXPECT_TRUE(s.Threaded());
  s.SetActive(false);
  EXPECT_FALSE(s.Timer().Enabled());
}

}  // namespace
