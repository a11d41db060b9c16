// Asynchronous lookup above the resolver seam: request handles, completion
// posted to the window, the host entry in the caller's buffer, cancelling.
// (The system resolver itself is exercised by the lookup tests.)
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/Messages.h"
#include "platform/Sockets.h"

using namespace platform;

namespace {

std::mutex g_mutex;
std::vector<MSG> g_got;

LRESULT Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg >= WM_USER) {
    std::lock_guard lock(g_mutex);
    g_got.push_back(MSG{hwnd, msg, wparam, lparam, 0});
  }
  return DefWindowProc(hwnd, msg, wparam, lparam);
}

TIp6Address Six(std::uint8_t last, std::uint32_t scope) {
  TIp6Address a;
  a.bytes[0] = 0xfd;
  a.bytes[15] = last;
  a.scope_id = scope;
  return a;
}

// A resolver that answers only when let go.
struct TGate {
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  int calls = 0;
  DWORD thread = 0;
  void Open() {
    std::lock_guard lock(mutex);
    open = true;
    cv.notify_all();
  }
};

class AsyncLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
    {
      std::lock_guard lock(g_mutex);
      g_got.clear();
    }
    WNDCLASS wc;
    wc.lpfnWndProc = &Proc;
    wc.hInstance = MainInstance();
    wc.lpszClassName = "AsyncLookupTestClass";
    RegisterClass(&wc);
    hwnd_ =
        CreateWindowEx(0, "AsyncLookupTestClass", "", 0, 0, 0, 0, 0, 0, 0, MainInstance(), nullptr);
    ASSERT_NE(hwnd_, 0u);
    gate_ = std::make_shared<TGate>();
    auto gate = gate_;
    SetHostResolver([gate](const std::string& name, THostEnt& e) {
      std::unique_lock lock(gate->mutex);
      ++gate->calls;
      gate->thread = GetCurrentThreadId();
      gate->cv.wait(lock, [&] { return gate->open; });
      if (name == "missing") return WSAHOST_NOT_FOUND;
      e.name = name + ".test";
      e.aliases = {"alias-one", "alias-two"};
      e.addresses = {inet_addr("10.1.1.1"), inet_addr("10.1.1.2")};
      if (name == "huge") e.aliases.assign(200, std::string(20, 'a'));
      if (name == "six" || name == "dual") e.addresses6 = {Six(1, 0), Six(2, 5)};
      if (name == "six") e.addresses.clear();
      return 0;
    });
  }
  void TearDown() override {
    gate_->Open();
    SetHostResolver(nullptr);
    DestroyWindow(hwnd_);
    UnregisterClass("AsyncLookupTestClass", MainInstance());
    WSACleanup();
  }
  // Pumps this thread's messages until `count` arrived or time is up.
  std::vector<MSG> WaitFor(std::size_t count, int ms = 2000) {
    for (int i = 0; i < ms; ++i) {
      MSG m;
      while (PeekMessage(&m, 0, 0, 0, PM_REMOVE)) DispatchMessage(&m);
      {
        std::lock_guard lock(g_mutex);
        if (g_got.size() >= count) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(g_mutex);
    return g_got;
  }
  // Waits until the resolver has been asked `n` times.
  void WaitCalls(int n, int ms = 2000) {
    for (int i = 0; i < ms; ++i) {
      {
        std::lock_guard lock(gate_->mutex);
        if (gate_->calls >= n) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  HWND hwnd_ = 0;
  std::shared_ptr<TGate> gate_;
  char buffer_[1025];
};

TEST_F(AsyncLookupTest, CompletionIsPostedWithTheHandleAndTheEntry) {
  std::memset(buffer_, 0x55, sizeof buffer_);
  const std::uintptr_t h = WSAAsyncGetHostByName(hwnd_, WM_USER + 7, "alpha", buffer_, 1025);
  ASSERT_NE(h, 0u);
  WaitCalls(1);
  EXPECT_NE(gate_->thread, GetCurrentThreadId()) << "resolved off the calling thread";
  EXPECT_TRUE(WaitFor(1, 50).empty()) << "nothing before the resolver answers";
  gate_->Open();
  const auto got = WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].hwnd, hwnd_);
  EXPECT_EQ(got[0].message, WM_USER + 7);
  EXPECT_EQ(got[0].wParam, h);
  EXPECT_EQ(WSAGETASYNCERROR(got[0].lParam), 0);
  auto entry = ReadHostEnt(buffer_, 1025);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "alpha.test");
  EXPECT_EQ(entry->aliases, (std::vector<std::string>{"alias-one", "alias-two"}));
  ASSERT_EQ(entry->addresses.size(), 2u);
  EXPECT_EQ(inet_ntoa(entry->addresses[0]), "10.1.1.1");
  EXPECT_EQ(WSAGETASYNCBUFLEN(got[0].lParam), PackHostEnt(*entry, nullptr, 0));
  // Finished: nothing left to cancel.
  EXPECT_EQ(WSACancelAsyncRequest(h), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(AsyncLookupTest, FailuresAndOversizedEntriesArriveAsErrors) {
  gate_->Open();
  std::memset(buffer_, 0x55, sizeof buffer_);
  const std::uintptr_t a = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "missing", buffer_, 1025);
  const std::uintptr_t b = WSAAsyncGetHostByName(hwnd_, WM_USER + 2, "huge", buffer_, 1025);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  const auto got = WaitFor(2);
  ASSERT_EQ(got.size(), 2u);
  for (const auto& m : got) {
    if (m.wParam == a) {
      EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSAHOST_NOT_FOUND);
    }
    if (m.wParam == b) {
      EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSAENOBUFS);
      EXPECT_GT(WSAGETASYNCBUFLEN(m.lParam), 1025);
    }
  }
  // The buffer was never written past its end, nor at all.
  for (char c : buffer_) ASSERT_EQ(c, 0x55);
}

TEST_F(AsyncLookupTest, CancelledRequestsNeverComplete) {
  std::memset(buffer_, 0x55, sizeof buffer_);
  const std::uintptr_t h = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "alpha", buffer_, 1025);
  WaitCalls(1);
  EXPECT_EQ(WSACancelAsyncRequest(h), 0);
  EXPECT_EQ(WSACancelAsyncRequest(h), SOCKET_ERROR) << "already cancelled";
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  gate_->Open();
  EXPECT_TRUE(WaitFor(1, 200).empty());
  for (char c : buffer_) ASSERT_EQ(c, 0x55) << "the buffer is the caller's again";
  EXPECT_EQ(WSACancelAsyncRequest(0x7FFFFF), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
}

TEST_F(AsyncLookupTest, CancellingAQueuedCompletionWithdrawsIt) {
  gate_->Open();
  const std::uintptr_t h = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "alpha", buffer_, 1025);
  // Wait until the completion is queued, without taking it.
  for (int i = 0; i < 2000 && QueuedMessageCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(QueuedMessageCount(), 1);
  EXPECT_EQ(WSACancelAsyncRequest(h), 0);
  EXPECT_EQ(QueuedMessageCount(), 0);
  EXPECT_TRUE(WaitFor(1, 50).empty());
}

// A name whose addresses are all IPv6: none for the IPv4 lookup, its IPv6
// entry for the lookup of either family; a name with both stays IPv4.
TEST_F(AsyncLookupTest, TheLookupOfEitherFamilyCompletesWithIpv6AddressesOnlyWithoutIpv4) {
  gate_->Open();
  char v4_buffer[1025];
  char dual_buffer[1025];
  const std::uintptr_t v4 = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "six", v4_buffer, 1025);
  const std::uintptr_t any = AsyncGetHostByNameAny(hwnd_, WM_USER + 2, "six", buffer_, 1025);
  const std::uintptr_t dual = AsyncGetHostByNameAny(hwnd_, WM_USER + 3, "dual", dual_buffer, 1025);
  ASSERT_TRUE(v4 && any && dual);
  const auto got = WaitFor(3);
  ASSERT_EQ(got.size(), 3u);
  for (const auto& m : got) {
    if (m.wParam == v4) {
      EXPECT_EQ(WSAGETASYNCERROR(m.lParam), WSANO_DATA);
    } else if (m.wParam == any) {
      EXPECT_EQ(WSAGETASYNCERROR(m.lParam), 0);
      auto entry = ReadHostEnt(buffer_, 1025);
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->name, "six.test");
      EXPECT_TRUE(entry->addresses.empty());
      EXPECT_EQ(entry->addresses6, (std::vector<TIp6Address>{Six(1, 0), Six(2, 5)}));
      EXPECT_EQ(WSAGETASYNCBUFLEN(m.lParam), PackHostEnt(*entry, nullptr, 0));
    } else {
      EXPECT_EQ(m.wParam, dual);
      EXPECT_EQ(WSAGETASYNCERROR(m.lParam), 0);
      auto entry = ReadHostEnt(dual_buffer, 1025);
      ASSERT_TRUE(entry);
      EXPECT_EQ(entry->addresses.size(), 2u);
      EXPECT_TRUE(entry->addresses6.empty());
    }
  }
}

TEST_F(AsyncLookupTest, RefusedRequests) {
  EXPECT_EQ(WSAAsyncGetHostByName(hwnd_, WM_USER, nullptr, buffer_, 1025), 0u);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(WSAAsyncGetHostByName(hwnd_, WM_USER, "x", nullptr, 1025), 0u);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(WSAAsyncGetHostByName(0x5, WM_USER, "x", buffer_, 1025), 0u);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);
  const int started = WSAStartupCount();
  for (int i = 0; i < started; ++i) WSACleanup();
  EXPECT_EQ(WSAAsyncGetHostByName(hwnd_, WM_USER, "x", buffer_, 1025), 0u);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  for (int i = 0; i < started; ++i) WSAStartup(0x0101, nullptr);
}

// Threads of this process, as the kernel lists them.
int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

// Waits until the process is back to at most `count` threads.
bool ThreadsSettleTo(int count) {
  for (int i = 0; i < 2000; ++i) {
    if (ThreadCount() <= count) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

TEST_F(AsyncLookupTest, CancelledLookupsStillResolvingDoNotPileUpThreads) {
  ASSERT_TRUE(ThreadsSettleTo(ThreadCount()));
  const int before = ThreadCount();
  // A user who presses Ping, waits a little and presses Cancel, again and
  // again, while the name server never answers: each cancelled lookup that
  // reached the resolver stays there.
  for (int i = 0; i < 30; ++i) {
    const std::uintptr_t h = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "alpha", buffer_, 1025);
    ASSERT_NE(h, 0u);
    WaitCalls(i + 1, 20);
    EXPECT_EQ(WSACancelAsyncRequest(h), 0);
  }
  EXPECT_LE(ThreadCount() - before, 4) << "a few resolver threads at most";
  EXPECT_EQ(gate_->calls, 4) << "the others were cancelled before their turn came";
  // A last request waits its turn and is answered once a thread is free.
  const std::uintptr_t last = WSAAsyncGetHostByName(hwnd_, WM_USER + 2, "omega", buffer_, 1025);
  ASSERT_NE(last, 0u);
  EXPECT_LE(ThreadCount() - before, 4);
  gate_->Open();
  const auto got = WaitFor(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].wParam, last);
  EXPECT_EQ(WSAGETASYNCERROR(got[0].lParam), 0);
  EXPECT_EQ(ReadHostEnt(buffer_, 1025)->name, "omega.test");
  EXPECT_TRUE(WaitFor(2, 100).size() == 1u) << "nothing for the cancelled ones";
  EXPECT_TRUE(ThreadsSettleTo(before)) << "idle resolver threads end";
}

TEST_F(AsyncLookupTest, AfterTheLastCleanupALookupStillResolvingTouchesNothing) {
  std::memset(buffer_, 0x55, sizeof buffer_);
  const int before = ThreadCount();
  const std::uintptr_t h = WSAAsyncGetHostByName(hwnd_, WM_USER + 1, "alpha", buffer_, 1025);
  ASSERT_NE(h, 0u);
  WaitCalls(1);
  const int started = WSAStartupCount();
  for (int i = 0; i < started; ++i) WSACleanup();
  gate_->Open();
  EXPECT_TRUE(ThreadsSettleTo(before));
  EXPECT_TRUE(WaitFor(1, 100).empty()) << "no completion once the layer is shut down";
  for (char c : buffer_) ASSERT_EQ(c, 0x55) << "the buffer is the caller's again";
  EXPECT_EQ(WSACancelAsyncRequest(h), SOCKET_ERROR) << "the request is gone";
  for (int i = 0; i < started; ++i) WSAStartup(0x0101, nullptr);
}

// The program ends while a lookup is still in the resolver; the resolver
// answers only then (here: from an exit handler that runs after the layer's
// own). The resolver thread must neither post nor write the buffer, since
// the message queues and the caller's memory are being torn down.
TEST(AsyncLookupEnd, NoLookupThreadTouchesAnythingOnceTheProgramHasBegunToEnd) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        static char buffer[256];
        std::memset(buffer, 0x55, sizeof buffer);
        static auto gate = std::make_shared<TGate>();
        // Registered before the first lookup, so it runs after whatever the
        // lookups register for the end of the program.
        std::atexit([] {
          gate->Open();
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          const bool untouched =
              std::all_of(buffer, buffer + sizeof buffer, [](char c) { return c == 0x55; });
          std::_Exit(untouched && QueuedMessageCount() == 0 ? 0 : 1);
        });
        WSAStartup(0x0101, nullptr);
        WNDCLASS wc;
        wc.lpfnWndProc = &Proc;
        wc.hInstance = MainInstance();
        wc.lpszClassName = "AsyncLookupEndClass";
        RegisterClass(&wc);
        const HWND hwnd = CreateWindowEx(0, "AsyncLookupEndClass", "", 0, 0, 0, 0, 0, 0, 0,
                                         MainInstance(), nullptr);
        SetHostResolver([g = gate](const std::string& name, THostEnt& e) {
          std::unique_lock lock(g->mutex);
          ++g->calls;
          g->cv.notify_all();
          g->cv.wait(lock, [&] { return g->open; });
          e.name = name;
          e.addresses = {inet_addr("10.1.1.1")};
          return 0;
        });
        if (WSAAsyncGetHostByName(hwnd, WM_USER + 1, "alpha", buffer, sizeof buffer) == 0)
          std::_Exit(2);
        {
          std::unique_lock lock(gate->mutex);
          gate->cv.wait(lock, [] { return gate->calls > 0; });
        }
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(HostEntTest, PackAndReadBack) {
  THostEnt e;
  e.name = "host.example";
  e.aliases = {"a", "", "b.example"};
  e.addresses = {inet_addr("1.2.3.4"), inet_addr("5.6.7.8"), inet_addr("0.0.0.0")};
  const int need = PackHostEnt(e, nullptr, 0);
  // header, 4 alias slots, 4 address slots, 3 addresses, the texts
  EXPECT_EQ(need, 16 + 16 + 16 + 12 + 13 + 2 + 1 + 10);
  std::vector<char> buf(static_cast<std::size_t>(need) + 8, 'x');
  EXPECT_EQ(PackHostEnt(e, buf.data(), need - 1), need) << "too small: not written";
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(PackHostEnt(e, buf.data(), need), need);
  EXPECT_EQ(buf[static_cast<std::size_t>(need)], 'x') << "nothing past the entry";
  auto back = ReadHostEnt(buf.data(), need);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, e);
  EXPECT_FALSE(ReadHostEnt(buf.data(), need - 1)) << "a text runs past the end";
}

TEST(HostEntTest, AnIpv6EntryPacksItsAddressesAndScopes) {
  THostEnt e;
  e.name = "six.example";
  e.aliases = {"six"};
  e.addresses6 = {Six(1, 0), Six(2, 7)};
  const int need = PackHostEnt(e, nullptr, 0);
  // header, 2 alias slots, 3 address slots, 2 addresses with their scopes,
  // the texts
  EXPECT_EQ(need, 16 + 8 + 12 + 2 * 20 + 12 + 4);
  std::vector<char> buf(static_cast<std::size_t>(need) + 8, 'x');
  EXPECT_EQ(PackHostEnt(e, buf.data(), need), need);
  EXPECT_EQ(buf[static_cast<std::size_t>(need)], 'x') << "nothing past the entry";
  std::uint16_t type, length;
  std::memcpy(&type, buf.data() + 8, 2);
  std::memcpy(&length, buf.data() + 10, 2);
  EXPECT_EQ(type, AF_INET6);
  EXPECT_EQ(length, 16);
  auto back = ReadHostEnt(buf.data(), need);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, e);
  // The last address's scope runs past a buffer cut short.
  EXPECT_FALSE(ReadHostEnt(buf.data(), need - 4 - 12));
  // An IPv6 type with an IPv4 length (or the other way round) is no entry.
  const std::uint16_t four = 4;
  std::memcpy(buf.data() + 10, &four, 2);
  EXPECT_FALSE(ReadHostEnt(buf.data(), need));
  // One family to an entry.
  e.addresses = {inet_addr("10.0.0.1")};
  EXPECT_EQ(PackHostEnt(e, nullptr, 0), -1);
}

TEST(HostEntTest, UnpackableEntries) {
  THostEnt e;
  e.name = "x";
  EXPECT_EQ(PackHostEnt(e, nullptr, 0), -1) << "no address";
  e.addresses = {1};
  e.name = std::string("a\0b", 3);
  EXPECT_EQ(PackHostEnt(e, nullptr, 0), -1);
}

TEST(HostEntTest, ReadRejectsBadOffsets) {
  THostEnt e;
  e.name = "n";
  e.addresses = {inet_addr("1.2.3.4")};
  char buf[64];
  const int n = PackHostEnt(e, buf, sizeof buf);
  ASSERT_GT(n, 0);
  auto corrupt = [&](int at, std::uint32_t value) {
    char copy[64];
    std::memcpy(copy, buf, sizeof copy);
    std::memcpy(copy + at, &value, 4);
    return ReadHostEnt(copy, n).has_value();
  };
  EXPECT_TRUE(corrupt(0, 16 + 4 + 8 + 4));  // name pointing at... the address bytes
  EXPECT_FALSE(corrupt(0, 3));              // into the header
  EXPECT_FALSE(corrupt(0, 1000));
  EXPECT_FALSE(corrupt(4, 0xFFFFFFF0u));
  EXPECT_FALSE(corrupt(12, static_cast<std::uint32_t>(n)));
  EXPECT_FALSE(corrupt(8, 0x00040017));  // another address family
  EXPECT_FALSE(ReadHostEnt(buf, 15));
  EXPECT_FALSE(ReadHostEnt(nullptr, 64));
}

}  // namespace
