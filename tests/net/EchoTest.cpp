// Echoes against the kernel: loopback through both kinds of ICMP socket, and
// a lab of namespaces (client, router, target) for TTL expiry, unreachable
// and blackholed destinations, a slow host and two pingers at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "ping/ICMP.h"
#include "platform/Sockets.h"
#include "support/NetNs.h"

using namespace platform;
using sxtest::TNetNs;
using sxtest::TPingLab;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Round trips to the host 30 ms away: 30 or 31 ms. On a loaded machine the
// kernel may defer forwarding a reply now and then, so one late sample of
// several is tolerated, never an early one.
void ExpectThirtyMs(std::vector<std::uint32_t> rtts) {
  ASSERT_FALSE(rtts.empty());
  int late = 0;
  for (std::uint32_t rtt : rtts) {
    EXPECT_GE(rtt, 30u);
    EXPECT_LT(rtt, 45u);
    if (rtt > 31) ++late;
  }
  EXPECT_LE(late, 1) << "most round trips are 30 or 31 ms";
  std::sort(rtts.begin(), rtts.end());
  const std::uint32_t median = rtts[rtts.size() / 2];
  EXPECT_TRUE(median == 30 || median == 31) << median;
}

const TIcmpSocketKind kKinds[] = {TIcmpSocketKind::kPing, TIcmpSocketKind::kRaw};

std::string KindName(TIcmpSocketKind kind) {
  return kind == TIcmpSocketKind::kPing ? "PingSocket" : "RawSocket";
}

class EchoTest : public ::testing::TestWithParam<TIcmpSocketKind> {
 protected:
  // Ping sockets where the namespace admits us, raw ones where it does not.
  void Admit(const TNetNs& ns) {
    ASSERT_TRUE(ns.AllowPingSockets(GetParam() == TIcmpSocketKind::kPing));
  }
  // An engine made inside the namespace, checked to use the wanted socket.
  void Expect(const TICMP& icmp) { EXPECT_EQ(IcmpSocketKindOf(icmp.EchoHandle()), GetParam()); }
};

TEST_P(EchoTest, ThreeEchoesToLoopback) {
  SX_REQUIRE_ROOT();
  TNetNs ns("loop");
  ASSERT_TRUE(ns.Ok());
  Admit(ns);
  ns.RunInside([&] {
    TICMP icmp;
    Expect(icmp);
    icmp.SetAddress("127.0.0.1");
    int requests = 0;
    icmp.OnEchoRequest = TICMPEchoRequest([&](TObject*) { ++requests; });
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      const auto& r = icmp.LastReply();
      EXPECT_EQ(r.Address, inet_addr("127.0.0.1"));
      EXPECT_EQ(r.Status, 0u);
      EXPECT_EQ(r.DataSize, 56);
      EXPECT_LT(r.RoundTripTime, 100u);
      EXPECT_EQ(r.Options.Ttl, 64);
      EXPECT_EQ(icmp.StatusText(), "No error");
    }
    EXPECT_EQ(requests, 3);
    EXPECT_EQ(icmp.TargetIP(), "127.0.0.1");
  });
}

TEST_P(EchoTest, SizesAndTheDontFragmentFlagOnLoopback) {
  SX_REQUIRE_ROOT();
  TNetNs ns("sizes");
  ASSERT_TRUE(ns.Ok());
  Admit(ns);
  ns.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress("127.0.0.1");
    for (int size : {0, 1, 45, 1472, 8192, 65500}) {
      icmp.SetSize(size);
      ASSERT_EQ(icmp.SendEcho(), 1) << size << ": " << icmp.StatusText();
      EXPECT_EQ(icmp.LastReply().DataSize, size);
    }
    // Too big for one datagram: refused, and said so.
    icmp.SetSize(65535);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Packet too big");
    // Don't-fragment with more than the loopback's MTU.
    ASSERT_EQ(ns.Exec("ip link set lo mtu 1500"), 0);
    icmp.SetFlags(IP_FLAG_DF);
    icmp.SetSize(2000);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Packet too big");
    icmp.SetFlags(0);
    EXPECT_EQ(icmp.SendEcho(), 1) << "fragmented without the flag";
  });
}

TEST_P(EchoTest, TtlOneAcrossARouterExpiresInTransit) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  lab.client.RunInside([&] {
    TICMP icmp;
    Expect(icmp);
    icmp.SetAddress(TPingLab::kTargetIp);
    ASSERT_EQ(icmp.SendEcho(), 1) << "target reachable: " << icmp.StatusText();
    icmp.SetTTL(1);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.LastStatus(), 11013);
    EXPECT_EQ(icmp.StatusText(), "TTL expired in transit");
    EXPECT_EQ(icmp.LastReply().Status, 11013u);
    EXPECT_EQ(icmp.LastReply().Address, inet_addr(TPingLab::kRouterIp));
    icmp.SetTTL(2);
    EXPECT_EQ(icmp.SendEcho(), 1);
  });
}

TEST_P(EchoTest, UnroutedDestinationIsUnreachable) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kUnrouted);
    icmp.SetTimeout(2000);
    const auto start = Clock::now();
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_LT(MsSince(start), 1000) << "the router answers at once";
    EXPECT_TRUE(icmp.LastStatus() == 11002 || icmp.LastStatus() == 11003) << icmp.LastStatus();
    EXPECT_EQ(icmp.StatusText().rfind("Destination", 0), 0u) << icmp.StatusText();
    EXPECT_EQ(icmp.LastReply().Address, inet_addr(TPingLab::kRouterIp));
  });
  // Without any route the client's own kernel refuses.
  ASSERT_EQ(sxtest::Shell("ip -n " + lab.client.Name() + " route del default"), 0);
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kUnrouted);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Destination network unreachable");
  });
}

TEST_P(EchoTest, BlackholedHostTimesOutAfterTheTimeout) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kBlackholed);
    icmp.SetTimeout(700);
    for (int i = 0; i < 2; ++i) {
      const auto start = Clock::now();
      EXPECT_EQ(icmp.SendEcho(), 0);
      const long long elapsed = MsSince(start);
      EXPECT_GE(elapsed, 700);
      EXPECT_LT(elapsed, 850);
      EXPECT_EQ(icmp.LastStatus(), 11010);
      EXPECT_EQ(icmp.StatusText(), "Request timed out");
      EXPECT_EQ(icmp.LastReply().Status, 11010u);
    }
  });
}

TEST_P(EchoTest, TimeoutIsTheWholeWaitWhateverElseArrives) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  // Another pinger floods the same network while we wait for a blackhole.
  ASSERT_EQ(lab.client.Exec(std::string("ping -q -i 0.01 -w 3 ") + TPingLab::kTargetIp +
                            " >/dev/null 2>&1 &"),
            0);
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kBlackholed);
    icmp.SetTimeout(500);
    const auto start = Clock::now();
    EXPECT_EQ(icmp.SendEcho(), 0);
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 500);
    EXPECT_LT(elapsed, 650);
    EXPECT_EQ(icmp.StatusText(), "Request timed out");
  });
}

TEST_P(EchoTest, SlowHostThirtyMillisecondsAway) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  sxtest::TIcmpResponder responder(lab.target, 30);
  ASSERT_TRUE(responder.Ok());
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kTargetIp);
    std::vector<std::uint32_t> rtts;
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      rtts.push_back(icmp.LastReply().RoundTripTime);
      EXPECT_EQ(icmp.LastReply().Address, inet_addr(TPingLab::kTargetIp));
      EXPECT_EQ(icmp.LastReply().Options.Ttl, 63) << "one router on the way";
    }
    ExpectThirtyMs(rtts);
    // A time-out shorter than the delay gives up, and the late reply is not
    // taken for the next request's.
    icmp.SetTimeout(10);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Request timed out");
    icmp.SetTimeout(1000);
    ASSERT_EQ(icmp.SendEcho(), 1);
    EXPECT_GE(icmp.LastReply().RoundTripTime, 30u);
  });
}

TEST_P(EchoTest, LossyHostDropsItsShare) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  sxtest::TIcmpResponder responder(lab.target, 1, 50);
  ASSERT_TRUE(responder.Ok());
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kTargetIp);
    icmp.SetTimeout(200);
    int replies = 0;
    for (int i = 0; i < 6; ++i) replies += icmp.SendEcho();
    EXPECT_EQ(replies, 3);
  });
}

TEST_P(EchoTest, TwoEnginesAtOnceEachGetOnlyTheirOwnReplies) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  sxtest::TIcmpResponder responder(lab.target, 30);
  ASSERT_TRUE(responder.Ok());
  auto pinger = [&](int size, int* replies) {
    lab.client.RunInside([&] {
      std::vector<std::uint32_t> rtts;
      TICMP icmp;
      icmp.SetAddress(TPingLab::kTargetIp);
      icmp.SetSize(size);
      for (int i = 0; i < 8; ++i) {
        if (icmp.SendEcho() != 1) continue;
        // Sizes differ, so a reply to the other engine would show here; so
        // would one of our own earlier replies in the round trip.
        EXPECT_EQ(icmp.LastReply().DataSize, size);
        rtts.push_back(icmp.LastReply().RoundTripTime);
        ++*replies;
      }
      ExpectThirtyMs(rtts);
    });
  };
  int a = 0, b = 0;
  std::thread first(pinger, 56, &a);
  std::thread second(pinger, 64, &b);
  first.join();
  second.join();
  EXPECT_EQ(a, 8);
  EXPECT_EQ(b, 8);
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return KindName(info.param); });

}  // namespace
