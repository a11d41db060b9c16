// Window classes, hidden windows and per-thread queues: what is posted to a
// window arrives only through its own thread's message processing; the Qt
// thread's queue is pumped by Qt's event processing.
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <future>
#include <thread>
#include <vector>

using namespace platform;

namespace {

struct TSeen {
  HWND hwnd;
  UINT msg;
  WPARAM wparam;
  LPARAM lparam;
  DWORD thread;
};

std::mutex g_seen_mutex;
std::vector<TSeen> g_seen;

LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg >= WM_USER) {
    std::lock_guard lock(g_seen_mutex);
    g_seen.push_back({hwnd, msg, wparam, lparam, GetCurrentThreadId()});
    return static_cast<LRESULT>(wparam) * 2;
  }
  return DefWindowProc(hwnd, msg, wparam, lparam);
}

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::lock_guard lock(g_seen_mutex);
    g_seen.clear();
    WNDCLASS wc;
    wc.lpfnWndProc = &RecordingProc;
    wc.cbWndExtra = 8;
    wc.hInstance = MainInstance();
    wc.lpszClassName = "TestWindowClass";
    ASSERT_NE(RegisterClass(&wc), 0);
  }
  void TearDown() override {
    for (HWND w : windows_) DestroyWindow(w);
    EXPECT_TRUE(UnregisterClass("TestWindowClass", MainInstance()));
    // Leave nothing queued for the next test.
    MSG m;
    while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) {
    }
  }
  HWND Make() {
    HWND w = CreateWindowEx(WS_EX_TOOLWINDOW, "testwindowclass", "", WS_POPUP, 0, 0, 0, 0, 0, 0,
                            MainInstance(), nullptr);
    if (w) windows_.push_back(w);
    return w;
  }
  static std::vector<TSeen> Seen() {
    std::lock_guard lock(g_seen_mutex);
    return g_seen;
  }
  std::vector<HWND> windows_;
};

TEST_F(MessagesTest, ClassesAreRegisteredOncePerModule) {
  WNDCLASS wc;
  wc.lpfnWndProc = &RecordingProc;
  wc.hInstance = MainInstance();
  wc.lpszClassName = "TESTWINDOWCLASS";
  EXPECT_EQ(RegisterClass(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
  wc.hInstance = MainInstance() + 0x1000;  // another module may have its own
  EXPECT_NE(RegisterClass(&wc), 0);
  EXPECT_TRUE(UnregisterClass("TestWindowClass", MainInstance() + 0x1000));

  WNDCLASS info;
  ASSERT_TRUE(GetClassInfo(MainInstance(), "TestWindowClass", &info));
  EXPECT_EQ(info.lpfnWndProc, &RecordingProc);
  EXPECT_EQ(info.cbWndExtra, 8);
  EXPECT_STREQ(info.lpszClassName, "TestWindowClass");
  EXPECT_FALSE(GetClassInfo(MainInstance(), "NoSuchClass", &info));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);
  EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", 0, 0, 0, 0, 0, 0, 0, MainInstance(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

  // A class with windows stays.
  HWND w = Make();
  ASSERT_NE(w, 0u);
  EXPECT_FALSE(UnregisterClass("TestWindowClass", MainInstance()));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
}

TEST_F(MessagesTest, ExtraBytesKeepWhatIsStored) {
  HWND w = Make();
  ASSERT_NE(w, 0u);
  EXPECT_EQ(GetWindowLong(w, 0), 0);
  EXPECT_EQ(SetWindowLong(w, 0, 0x12345678), 0);
  EXPECT_EQ(SetWindowLong(w, 4, -7), 0);
  EXPECT_EQ(GetWindowLong(w, 0), 0x12345678);
  EXPECT_EQ(GetWindowLong(w, 4), -7);
  EXPECT_EQ(SetWindowLong(w, 5, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(GetWindowLong(w, -1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  int anchor = 0;
  SetWindowLongPtr(w, 0, reinterpret_cast<LONG_PTR>(&anchor));
  EXPECT_EQ(GetWindowLongPtr(w, 0), reinterpret_cast<LONG_PTR>(&anchor));
  EXPECT_EQ(GetWindowLongPtr(w, 4), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
}

TEST_F(MessagesTest, PostedMessagesArriveThroughTheOwningThreadOnly) {
  // The window belongs to a worker; this thread posts.
  std::promise<HWND> made;
  std::promise<void> posted;
  std::vector<MSG> worker_got;
  int worker_peeks_before = -1;
  std::thread worker([&] {
    HWND w = CreateWindowEx(0, "TestWindowClass", "", WS_POPUP, 0, 0, 0, 0, 0, 0, MainInstance(),
                            nullptr);
    made.set_value(w);
    posted.get_future().wait();
    MSG m;
    worker_peeks_before = PeekMessage(&m, 0, 0, 0, PM_NOREMOVE);
    while (GetMessage(&m, 0, 0, 0) > 0) {
      worker_got.push_back(m);
      // Thread messages have no window to go to.
      EXPECT_EQ(DispatchMessage(&m), m.hwnd ? static_cast<LRESULT>(m.wParam) * 2 : 0);
    }
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    DestroyWindow(w);
  });
  HWND w = made.get_future().get();
  ASSERT_NE(w, 0u);
  EXPECT_NE(GetWindowThreadProcessId(w, nullptr), GetCurrentThreadId());
  EXPECT_TRUE(PostMessage(w, WM_USER + 1, 10, 20));
  EXPECT_TRUE(PostMessage(w, WM_USER + 2, 11, 21));
  // Not ours: this thread neither sees nor dispatches it.
  MSG m;
  EXPECT_FALSE(PeekMessage(&m, w, 0, 0, PM_NOREMOVE));
  MSG foreign{w, WM_USER + 9, 1, 1, 0};
  EXPECT_EQ(DispatchMessage(&foreign), 0);
  EXPECT_TRUE(Seen().empty());
  posted.set_value();
  // The quit message comes after what is queued.
  const DWORD worker_id = GetWindowThreadProcessId(w, nullptr);
  EXPECT_TRUE(PostThreadMessage(worker_id, WM_USER + 3, 12, 22));
  // A posted WM_QUIT ends the worker's loop like its own PostQuitMessage.
  EXPECT_TRUE(PostThreadMessage(worker_id, WM_QUIT, 3, 0));
  worker.join();
  EXPECT_EQ(worker_peeks_before, 1);
  ASSERT_EQ(worker_got.size(), 3u);
  EXPECT_EQ(worker_got[0].message, WM_USER + 1);
  EXPECT_EQ(worker_got[1].message, WM_USER + 2);
  EXPECT_EQ(worker_got[2].hwnd, 0u);
  const auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u);
  for (const auto& s : seen) EXPECT_EQ(s.thread, worker_id);
  EXPECT_EQ(seen[0].wparam, 10u);
  EXPECT_EQ(seen[0].lparam, 20);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(MessagesTest, QuitComesWhenNothingElseWaits) {
  HWND w = Make();
  PostMessage(w, WM_USER + 1, 1, 0);
  PostQuitMessage(5);
  PostMessage(w, WM_USER + 2, 2, 0);
  MSG m;
  ASSERT_EQ(GetMessage(&m, 0, 0, 0), 1);
  EXPECT_EQ(m.message, WM_USER + 1);
  ASSERT_EQ(GetMessage(&m, 0, 0, 0), 1);
  EXPECT_EQ(m.message, WM_USER + 2);
  EXPECT_EQ(GetMessage(&m, 0, 0, 0), 0);
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_FALSE(PeekMessage(&m, 0, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, FiltersAndDestroyedWindowsDiscardTheirMessages) {
  HWND a = Make(), b = Make();
  PostMessage(a, WM_USER + 1, 1, 0);
  PostMessage(b, WM_USER + 2, 2, 0);
  PostMessage(a, WM_USER + 3, 3, 0);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 2);
  ASSERT_TRUE(PeekMessage(&m, 0, WM_USER + 3, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(m.hwnd, a);
  EXPECT_EQ(QueuedMessageCount(), 1);
  DestroyWindow(a);
  windows_.erase(windows_.begin());
  EXPECT_EQ(QueuedMessageCount(), 0);
}

TEST_F(MessagesTest, TaggedMessagesCanBeRecalledWhileQueued) {
  HWND w = Make();
  EXPECT_TRUE(PostTaggedMessage(w, WM_USER + 1, 1, 0, 77));
  EXPECT_TRUE(IsTaggedMessageQueued(77));
  EXPECT_TRUE(RecallTaggedMessage(77));
  EXPECT_FALSE(RecallTaggedMessage(77));
  EXPECT_EQ(QueuedMessageCount(), 0);
}

TEST_F(MessagesTest, QtEventProcessingDeliversTheGuiThreadsMessages) {
  ASSERT_NE(QCoreApplication::instance(), nullptr);
  HWND w = Make();
  // From another thread, as a lookup's completion would come.
  std::thread([w] { PostMessage(w, WM_USER + 5, 42, 0); }).join();
  PostMessage(w, WM_USER + 6, 43, 0);
  EXPECT_TRUE(Seen().empty()) << "never inside the post";
  for (int i = 0; i < 10 && Seen().size() < 2; ++i) QCoreApplication::processEvents();
  const auto seen = Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].wparam, 42u);
  EXPECT_EQ(seen[1].wparam, 43u);
  EXPECT_EQ(seen[0].thread, GetCurrentThreadId());
  EXPECT_EQ(QueuedMessageCount(), 0);
}

TEST_F(MessagesTest, CreationAndDestructionReachTheProcedure) {
  static std::vector<UINT> order;
  order.clear();
  WNDCLASS wc;
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    order.push_back(m);
    return DefWindowProc(h, m, wp, lp);
  };
  wc.hInstance = MainInstance();
  wc.lpszClassName = "OrderClass";
  ASSERT_NE(RegisterClass(&wc), 0);
  HWND w = CreateWindowEx(0, "OrderClass", "", 0, 0, 0, 0, 0, 0, 0, MainInstance(), nullptr);
  ASSERT_NE(w, 0u);
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_TRUE(UnregisterClass("OrderClass", MainInstance()));
}

TEST_F(MessagesTest, AThreadsWindowsEndWithIt) {
  const int before = WindowCount();
  HWND w = 0;
  std::thread([&] {
    w = CreateWindowEx(0, "TestWindowClass", "", 0, 0, 0, 0, 0, 0, 0, MainInstance(), nullptr);
  }).join();
  EXPECT_NE(w, 0u);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(WindowCount(), before);
}

}  // namespace
