// Name lookups through the system resolver, with names served by what each
// test sets up in a sandbox of its own (hosts file, dnsmasq, or a DNS port
// that never answers).
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>

#include "ping/Ping.h"
#include "platform/Sockets.h"
#include "support/NetNs.h"
#include "support/ResolverSandbox.h"

using namespace platform;
using sxtest::InResolverSandbox;
using sxtest::RerunInResolverSandbox;

namespace {

const char* kRecords =
    "10.1.1.1 multi.sonarix.test\n"
    "10.1.1.2 multi.sonarix.test\n"
    "10.1.1.3 multi.sonarix.test\n"
    "10.2.2.2 single.sonarix.test\n"
    "fd00::1 v6only.sonarix.test\n";

#define SX_IN_SANDBOX(...)                                 \
  do {                                                     \
    SX_REQUIRE_ROOT();                                     \
    if (!InResolverSandbox()) {                            \
      ASSERT_EQ(RerunInResolverSandbox({__VA_ARGS__}), 0); \
      return;                                              \
    }                                                      \
  } while (0)

// Processes the GUI thread's events (and so its platform messages) until
// `done` holds or `ms` pass.
template <class F>
bool PumpUntil(F done, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct TDone {
  std::vector<std::pair<int, std::string>> events;
  void Bind(TPing& ping) {
    ping.OnDnsLookupDone = TDnsLookupDone([this, &ping](TObject*, std::uint16_t error) {
      events.emplace_back(error, ping.LookupResult());
    });
  }
};

TEST(LookupTest, BlockingLookupGivesNameAliasesAndAddresses) {
  SX_IN_SANDBOX("10.3.3.3 official.example alias-a alias-b\n", kRecords);
  ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
  auto e = gethostbyname("alias-a");
  ASSERT_TRUE(e) << WSAGetLastError();
  EXPECT_EQ(e->name, "official.example");
  EXPECT_EQ(e->aliases, (std::vector<std::string>{"alias-a", "alias-b"}));
  EXPECT_EQ(inet_ntoa(e->addresses.at(0)), "10.3.3.3");

  e = gethostbyname("multi.sonarix.test");
  ASSERT_TRUE(e) << WSAGetLastError();
  EXPECT_EQ(e->addresses.size(), 3u);
  EXPECT_FALSE(gethostbyname("nosuch.sonarix.test"));
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);
  EXPECT_FALSE(gethostbyname("v6only.sonarix.test"));
  EXPECT_EQ(WSAGetLastError(), WSANO_DATA);
  WSACleanup();
}

TEST(LookupTest, ANameWithSeveralAddressesYieldsTheFirst) {
  // The hosts file keeps the order (DNS answers may rotate).
  SX_IN_SANDBOX("10.4.4.2 several.example\n10.4.4.1 several.example\n10.4.4.3 several.example\n",
                kRecords);
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost("several.example");
  EXPECT_TRUE(done.events.empty()) << "never inside the call";
  EXPECT_TRUE(ping.LookupOutstanding());
  ASSERT_TRUE(PumpUntil([&] { return !done.events.empty(); }));
  ASSERT_EQ(done.events.size(), 1u);
  EXPECT_EQ(done.events[0].first, 0);
  // The first of the resolver's list.
  auto e = gethostbyname("several.example");
  ASSERT_TRUE(e);
  ASSERT_EQ(e->addresses.size(), 3u);
  EXPECT_EQ(inet_ntoa(e->addresses[0]), "10.4.4.2");
  EXPECT_EQ(done.events[0].second, "10.4.4.2");
  EXPECT_FALSE(ping.LookupOutstanding());

  // And the engine pings what the lookup found: the series' next step.
  ping.SetAddress(ping.LookupResult());
  ping.SetTimeout(100);
  ping.SendEcho();
  EXPECT_EQ(ping.TargetIP(), done.events[0].second);
}

TEST(LookupTest, FailedLookupsGiveTheResolversCode) {
  SX_IN_SANDBOX("", kRecords, "127.0.0.2", "--txt-record=noaddress.sonarix.test,text");
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost("single.sonarix.test");
  ASSERT_TRUE(PumpUntil([&] { return done.events.size() == 1; }));
  EXPECT_EQ(done.events[0], std::make_pair(0, std::string("10.2.2.2")));
  ping.LookupHost("nosuch.sonarix.test");
  EXPECT_EQ(ping.LookupResult(), "") << "cleared when a lookup starts";
  ASSERT_TRUE(PumpUntil([&] { return done.events.size() == 2; }));
  EXPECT_EQ(done.events[1], std::make_pair(11001, std::string()));
  ping.LookupHost("noaddress.sonarix.test");
  ASSERT_TRUE(PumpUntil([&] { return done.events.size() == 3; }));
  EXPECT_EQ(done.events[2], std::make_pair(11004, std::string()));
  // "255.255.255.255" is no literal: it is looked up as a name.
  ping.LookupHost("255.255.255.255");
  EXPECT_TRUE(ping.LookupOutstanding());
  ASSERT_TRUE(PumpUntil([&] { return done.events.size() == 4; }));
}

TEST(LookupTest, TwoLookupsInQuickSuccessionGiveOneEventForTheSecond) {
  SX_IN_SANDBOX("", kRecords);
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost("multi.sonarix.test");
  ping.LookupHost("single.sonarix.test");
  ASSERT_TRUE(PumpUntil([&] { return !done.events.empty(); }));
  // Give a stray completion of the first every chance to arrive.
  PumpUntil([] { return false; }, 300);
  ASSERT_EQ(done.events.size(), 1u);
  EXPECT_EQ(done.events[0], std::make_pair(0, std::string("10.2.2.2")));

  // A literal while a name is outstanding: one event, at once, with 0.
  ping.LookupHost("multi.sonarix.test");
  ping.LookupHost("127.0.0.1");
  EXPECT_EQ(done.events.size(), 2u);
  PumpUntil([] { return false; }, 300);
  ASSERT_EQ(done.events.size(), 2u);
  EXPECT_EQ(done.events[1], std::make_pair(0, std::string("127.0.0.1")));
}

TEST(LookupTest, ANameWhoseServerNeverAnswersStaysOutstandingUntilCancelled) {
  SX_IN_SANDBOX("", "");
  const int silent = sxtest::BindSilentDnsPort("127.0.0.2");
  ASSERT_GE(silent, 0);
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost("slow.sonarix.test");
  PumpUntil([] { return false; }, 500);
  EXPECT_TRUE(done.events.empty());
  EXPECT_TRUE(ping.LookupOutstanding());

  // A completion for this very request is already queued when Cancel runs.
  const std::uintptr_t request = ping.LookupHandle();
  ASSERT_TRUE(PostMessage(ping.Handle(), ping.LookupMsgNumber(), request, 0));
  ping.CancelLookup();
  ASSERT_EQ(done.events.size(), 1u);
  EXPECT_EQ(done.events[0].first, 10004);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(done.events.size(), 1u) << "the queued completion is ignored";
  ping.CancelLookup();  // idle now
  EXPECT_EQ(done.events.size(), 1u);
  EXPECT_EQ(WSACancelAsyncRequest(request), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

  // Destroying the component during a lookup ends it the same way.
  {
    TPing doomed(nullptr);
    doomed.OnDnsLookupDone =
        TDnsLookupDone([&](TObject*, std::uint16_t e) { done.events.emplace_back(e, "doomed"); });
    doomed.LookupHost("slow2.sonarix.test");
  }
  ASSERT_EQ(done.events.size(), 2u);
  EXPECT_EQ(done.events[1], std::make_pair(10004, std::string("doomed")));
  ::close(silent);
}

int ThreadCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                        std::filesystem::directory_iterator()));
}

TEST(LookupTest, LookupsCancelledWhileTheServerIsSilentLeaveOnlyAFewThreads) {
  SX_IN_SANDBOX("", "");
  const int silent = sxtest::BindSilentDnsPort("127.0.0.2");
  ASSERT_GE(silent, 0);
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  // A sanitizer's runtime starts a thread of its own with the first thread a
  // program creates: let that happen before counting.
  std::thread([] {}).join();
  const int before = ThreadCount();
  // Ping, a moment, Cancel: thirty times. The resolver keeps each lookup it
  // has begun until its own time-out, far beyond this test.
  for (int i = 0; i < 30; ++i) {
    ping.LookupHost("slow" + std::to_string(i) + ".sonarix.test");
    PumpUntil([] { return false; }, 20);
    ping.CancelLookup();
  }
  EXPECT_EQ(done.events.size(), 30u);
  for (const auto& e : done.events) EXPECT_EQ(e.first, 10004);
  EXPECT_LE(ThreadCount() - before, 4);
  ::close(silent);
}

TEST(LookupTest, CancellingWhileTheRealCompletionIsQueued) {
  SX_IN_SANDBOX("", kRecords);
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost("single.sonarix.test");
  const std::uintptr_t request = ping.LookupHandle();
  // Wait, without processing messages, until the completion is queued.
  for (int i = 0; i < 5000 && !IsTaggedMessageQueued(request); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(IsTaggedMessageQueued(request));
  ping.CancelLookup();
  EXPECT_FALSE(IsTaggedMessageQueued(request));
  PumpUntil([] { return false; }, 200);
  ASSERT_EQ(done.events.size(), 1u);
  EXPECT_EQ(done.events[0], std::make_pair(10004, std::string()));
}

TEST(LookupTest, AnExceptionInTheLookupHandlerIsDroppedOnTheAsynchronousPath) {
  SX_IN_SANDBOX("", kRecords);
  TPing ping(nullptr);
  int calls = 0;
  ping.OnDnsLookupDone = TDnsLookupDone([&](TObject*, std::uint16_t) {
    ++calls;
    throw Exception("raised by the handler");
  });
  ping.LookupHost("single.sonarix.test");
  EXPECT_TRUE(PumpUntil([&] { return calls == 1; }));
  // The literal path hands it to the caller.
  EXPECT_THROW(ping.LookupHost("127.0.0.1"), Exception);
}

TEST(LookupTest, NamesOfAnyScriptReachTheResolverInTheirAsciiForm) {
  SX_IN_SANDBOX("10.6.6.6 xn--e1afmkfd.xn--80akhbyknj4f\n",
                "10.7.7.7 xn--bcher-kva.sonarix.test\n");
  ASSERT_EQ(WSAStartup(0x0101, nullptr), 0);
  // "bücher" over DNS, "пример.испытание" from the hosts file.
  auto e = gethostbyname(
      "b\xC3\xBC"
      "cher.sonarix.test");
  ASSERT_TRUE(e) << WSAGetLastError();
  EXPECT_EQ(inet_ntoa(e->addresses.at(0)), "10.7.7.7");
  e = GetHostByNameAny(
      "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xBC\xD0\xB5\xD1\x80."
      "\xD0\xB8\xD1\x81\xD0\xBF\xD1\x8B\xD1\x82\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5");
  ASSERT_TRUE(e) << WSAGetLastError();
  EXPECT_EQ(inet_ntoa(e->addresses.at(0)), "10.6.6.6");
  // The same name's Latin-1 bytes are no name at all.
  EXPECT_FALSE(
      gethostbyname("b\xFC"
                    "cher.sonarix.test"));
  EXPECT_EQ(WSAGetLastError(), WSAHOST_NOT_FOUND);

  // And typed into the component, as the host box hands it on.
  TPing ping(nullptr);
  TDone done;
  done.Bind(ping);
  ping.LookupHost(
      "b\xC3\xBC"
      "cher.sonarix.test");
  ASSERT_TRUE(PumpUntil([&] { return !done.events.empty(); }));
  EXPECT_EQ(done.events[0], std::make_pair(0, std::string("10.7.7.7")));
  WSACleanup();
}

}  // namespace
