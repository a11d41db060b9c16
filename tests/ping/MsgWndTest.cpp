// Hidden-window dispatch: message numbers per window and thread, slot reuse,
// window and class lifetime, the error messages, and the guard that keeps a
// handler's exception out of the message loop.
#include "ping/MsgWndControl.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <future>
#include <thread>

#include "FakeIcmp.h"
#include "ping/Ping.h"

using namespace platform;

namespace {

// A component that needs `extra` numbers besides the release message.
class TProbe : public TMsgWndControl {
 public:
  explicit TProbe(int extra = 1, TComponent* owner = nullptr)
      : TMsgWndControl(owner), extra_(extra) {}
  ~TProbe() override { RetireWindow(); }

  int MsgSlotsNeeded() override { return TMsgWndControl::MsgSlotsNeeded() + extra_; }
  void RegisterMsgs() override {
    TMsgWndControl::RegisterMsgs();
    for (int i = 0; i < extra_; ++i) numbers.push_back(WndHandler()->ReserveMessage(this));
  }
  void UnregisterMsgs() override {
    if (WndHandler())
      for (auto& n : numbers) WndHandler()->ReturnMessage(n);
    numbers.clear();
    TMsgWndControl::UnregisterMsgs();
  }
  void WndProc(TMessage& m) override {
    try {
      if (!numbers.empty() && m.Msg == numbers[0]) {
        ++handled;
        if (throw_in_handler) throw Exception("handler failed");
        return;
      }
      TMsgWndControl::WndProc(m);
    } catch (const Exception& e) {
      GuardMessageError(e);
    }
  }
  void AbortAfterError() override { ++aborts; }

  std::vector<UINT> numbers;
  int handled = 0;
  int aborts = 0;
  bool throw_in_handler = false;

 private:
  int extra_;
};

std::string MessageOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const EMsgWndException& e) {
    return e.Message();
  }
  return "no exception";
}

class MsgWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MsgWndStartup();
    windows_before_ = HiddenWindowCount;
  }
  void TearDown() override {
    EXPECT_EQ(HiddenWindowCount, windows_before_) << "a hidden window outlived its users";
    EXPECT_TRUE(SharedPool->Lists().empty());
  }
  int windows_before_ = 0;
};

TEST_F(MsgWndTest, NumbersPerWindowAndThread) {
  TProbe first, second;
  first.Handle();
  second.Handle();
  EXPECT_EQ(first.ReleaseMsgNumber(), 1025u);
  EXPECT_EQ(first.numbers, std::vector<UINT>{1026});
  EXPECT_EQ(second.ReleaseMsgNumber(), 1027u);
  EXPECT_EQ(second.numbers, std::vector<UINT>{1028});
  EXPECT_EQ(first.Handle(), second.Handle()) << "one window for the thread";
  EXPECT_EQ(first.WndHandler(), second.WndHandler());
  EXPECT_EQ(first.WndHandler()->SlotsUsed, 4);
  EXPECT_EQ(HiddenWindowCount, windows_before_ + 1);

  // Another thread gets a window of its own, numbered from 1025 again.
  std::thread([&] {
    TProbe other;
    EXPECT_NE(other.Handle(), first.Handle());
    EXPECT_EQ(other.ReleaseMsgNumber(), 1025u);
    EXPECT_EQ(other.numbers, std::vector<UINT>{1026});
    EXPECT_EQ(other.ThreadId(), GetCurrentThreadId());
    EXPECT_EQ(SharedPool->Lists().size(), 2u);
    EXPECT_EQ(HiddenWindowCount, windows_before_ + 2);
  }).join();
  EXPECT_EQ(SharedPool->Lists().size(), 1u);
}

TEST_F(MsgWndTest, PingComponentsGetTheirNumbersTheSameWay) {
  platform::TModuleTableGuard restore;
  TFakeIcmp fake;
  fake.Install();
  TPing a(nullptr), b(nullptr);
  EXPECT_EQ(a.LookupMsgNumber(), 1026u);
  EXPECT_EQ(b.LookupMsgNumber(), 1028u);
  EXPECT_EQ(a.Handle(), b.Handle());
}

TEST_F(MsgWndTest, SlotsAreReusedAndTheWindowGoesWithItsLastUser) {
  auto* first = new TProbe;
  TProbe second;
  first->Handle();
  const HWND window = second.Handle();
  delete first;
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(second.WndHandler()->SlotTable[0], nullptr);
  EXPECT_EQ(second.WndHandler()->SlotTable[1], nullptr);
  TProbe third;
  third.Handle();
  EXPECT_EQ(third.ReleaseMsgNumber(), 1025u);
  EXPECT_EQ(third.numbers, std::vector<UINT>{1026});
  second.DetachFromThread();
  third.DetachFromThread();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(third.HandleAllocated(), 0u);
  EXPECT_EQ(third.WndHandler(), nullptr);
}

TEST_F(MsgWndTest, TheClassIsRegisteredWithTheFirstWindowAndGoesWithTheLast) {
  if (windows_before_ != 0) GTEST_SKIP() << "other hidden windows exist";
  WNDCLASS wc;
  EXPECT_FALSE(GetClassInfo(MainInstance(), kHiddenWindowClassName, &wc));
  {
    TProbe p;
    p.Handle();
    ASSERT_TRUE(GetClassInfo(MainInstance(), kHiddenWindowClassName, &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.cbClsExtra, 0);
    EXPECT_GE(wc.cbWndExtra, 4);
    EXPECT_EQ(wc.hInstance, MainInstance());
    EXPECT_EQ(HiddenWindowCount, 1);
  }
  EXPECT_EQ(HiddenWindowCount, 0);
  EXPECT_FALSE(GetClassInfo(MainInstance(), kHiddenWindowClassName, &wc));
  TProbe later;
  EXPECT_NE(later.Handle(), 0u);
  EXPECT_TRUE(GetClassInfo(MainInstance(), kHiddenWindowClassName, &wc));
}

TEST_F(MsgWndTest, HandlerErrors) {
  TMsgWndHandler h;
  TProbe owner;
  UINT n = 1025;
  EXPECT_EQ(MessageOf([&] { h.ReserveMessage(&owner); }), "MsgLow not defined");
  EXPECT_EQ(MessageOf([&] { h.ReturnMessage(n); }), "MsgLow not defined");
  h.MsgLow = kFirstMsgNumber;
  UINT zero = 0;
  h.ReturnMessage(zero);  // nothing to give back
  const UINT first = h.ReserveMessage(&owner);
  EXPECT_EQ(first, 1025u);
  EXPECT_NE(h.Handle(), 0u);
  UINT outside = 1125;
  EXPECT_EQ(MessageOf([&] { h.ReturnMessage(outside); }), "Msg value out of bound");
  UINT below = 1024;
  EXPECT_EQ(MessageOf([&] { h.ReturnMessage(below); }), "Msg value out of bound");
  UINT empty = 1030;
  EXPECT_EQ(MessageOf([&] { h.ReturnMessage(empty); }), "Msg not registered");
  EXPECT_EQ(empty, 1030u) << "a failed return leaves the number";
  for (int i = 1; i < kMsgSlotCount; ++i) h.ReserveMessage(&owner);
  EXPECT_EQ(h.FreeSlotCount(), 0);
  EXPECT_EQ(MessageOf([&] { h.ReserveMessage(&owner); }), "No more free message");
  UINT last = 1124;
  h.ReturnMessage(last);
  EXPECT_EQ(last, 0u);
  EXPECT_EQ(h.ReserveMessage(&owner), 1124u);
}

TEST_F(MsgWndTest, AComponentNeedingMoreThanAWindowHoldsFailsCleanly) {
  TProbe greedy(kMsgSlotCount);  // 101 numbers
  EXPECT_EQ(MessageOf([&] { greedy.Handle(); }), "No more free message");
  EXPECT_EQ(greedy.HandleAllocated(), 0u);
  EXPECT_EQ(greedy.WndHandler(), nullptr);
  // The pool's lock was released: another thread can still acquire.
  std::thread([] {
    TProbe p;
    EXPECT_NE(p.Handle(), 0u);
  }).join();
}

TEST_F(MsgWndTest, AttachAndDetach) {
  TProbe p;
  p.Handle();
  EXPECT_EQ(MessageOf([&] { p.AttachToThread(); }), "Cannot attach when not detached");
  std::string from_other;
  std::thread([&] { from_other = MessageOf([&] { p.DetachFromThread(); }); }).join();
  EXPECT_EQ(from_other, "Cannot detach from another thread");
  EXPECT_NE(p.HandleAllocated(), 0u) << "still attached";
  p.DetachFromThread();
  EXPECT_EQ(p.HandleAllocated(), 0u);
  p.AttachToThread();
  EXPECT_NE(p.HandleAllocated(), 0u);
  EXPECT_EQ(p.ReleaseMsgNumber(), 1025u);
}

TEST_F(MsgWndTest, AnEmptySlotInRangeGetsTheDefaultTreatment) {
  TProbe p;
  TMsgWndHandler* h = p.WndHandler() ? p.WndHandler() : (p.Handle(), p.WndHandler());
  TMessage m{1090, 1, 2, 99};
  h->WndProc(m);
  EXPECT_EQ(m.Result, 0);
  bool asked = false;
  h->OnUnclaimedMessage = TUnclaimedMessageEvent([&](TObject*, TMessage& msg, bool& handled) {
    asked = true;
    msg.Result = 7;
    handled = true;
  });
  TMessage m2{1090, 1, 2, 0};
  h->WndProc(m2);
  EXPECT_TRUE(asked);
  EXPECT_EQ(m2.Result, 7);
}

TEST_F(MsgWndTest, AnExceptionFromAPostedMessagesHandlerNeverReachesTheLoop) {
  TProbe p;
  p.throw_in_handler = true;
  const HWND w = p.Handle();
  // On the Qt thread, through Qt's event processing.
  ASSERT_TRUE(PostMessage(w, p.numbers[0], 0, 0));
  for (int i = 0; i < 5 && p.handled == 0; ++i) EXPECT_NO_THROW(QCoreApplication::processEvents());
  EXPECT_EQ(p.handled, 1);
  EXPECT_EQ(p.aborts, 1) << "no error callback: CanAbort stays true";

  // With an error callback that declines the abort.
  std::string reported;
  p.OnMessageError = TMsgWndErrorEvent([&](TObject* sender, const Exception& e, bool& can_abort) {
    EXPECT_EQ(sender, &p);
    reported = e.Message();
    can_abort = false;
    throw Exception("callback failed too");
  });
  ASSERT_TRUE(PostMessage(w, p.numbers[0], 0, 0));
  EXPECT_NO_THROW(p.DrainMessages());
  EXPECT_EQ(p.handled, 2);
  EXPECT_EQ(reported, "handler failed");
  EXPECT_EQ(p.aborts, 1);
}

TEST_F(MsgWndTest, OwnLoopsOnAnotherThread) {
  std::promise<TProbe*> made;
  std::thread worker([&] {
    TProbe p;
    p.SetOwnLoop(true);
    p.Handle();
    made.set_value(&p);
    p.RunMessageLoop();
    EXPECT_TRUE(p.LoopEnded());
    EXPECT_EQ(p.handled, 2);
  });
  TProbe* p = made.get_future().get();
  const DWORD thread = p->ThreadId();
  PostMessage(p->HandleAllocated(), p->numbers[0], 0, 0);
  PostMessage(p->HandleAllocated(), p->numbers[0], 0, 0);
  PostThreadMessage(thread, platform::WM_QUIT, 0, 0);
  worker.join();
}

TEST_F(MsgWndTest, HandleOneMessageStopsAtQuit) {
  TProbe p;
  p.SetOwnLoop(true);
  const HWND w = p.Handle();
  PostMessage(w, p.numbers[0], 0, 0);
  PostQuitMessage(0);
  p.PumpMessages();
  EXPECT_EQ(p.handled, 1);
  EXPECT_TRUE(p.LoopEnded());
}

TEST_F(MsgWndTest, FreeLaterDestroysTheComponentFromItsLoop) {
  auto* p = new TProbe;
  p->SetOwnLoop(true);
  p->FreeLater();
  EXPECT_EQ(HiddenWindowCount, windows_before_ + 1);
  TMsgWndControl pump(nullptr);
  pump.SetOwnLoop(true);
  pump.DrainMessages();
  EXPECT_EQ(HiddenWindowCount, windows_before_);
}

TEST_F(MsgWndTest, RetiredComponentsNeverGetAWindowAgain) {
  TProbe p;
  p.Handle();
  p.RetireWindow();
  EXPECT_EQ(p.Handle(), 0u);
}

}  // namespace
