// IPv6 echoes against the kernel, through both kinds of ICMPv6 socket:
// loopback, a peer on a veth pair (unique local and link-local addresses),
// and the lab of client, router and target for hop limits, unreachable and
// blackholed destinations and hostile peers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/SocketCases.h"
#include "ping/ICMP.h"
#include "platform/RawSockets.h"
#include "platform/Sockets.h"
#include "support/NetNs.h"

using namespace platform;
using sxtest::TNetNs;
using sxtest::TPingLab6;
using sxtest::TSocketCase;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TIp6Address Ip6(const char* text) {
  TIp6Address a;
  EXPECT_TRUE(ParseIp6Literal(text, a)) << text;
  return a;
}

class Echo6Test : public ::testing::TestWithParam<TSocketCase> {
 protected:
  void TearDown() override { StopRawSocketBroker(); }
  void Admit(const TNetNs& ns) {
    ASSERT_TRUE(ns.AllowPingSockets(GetParam().kind == TIcmpSocketKind::kPing));
    if (GetParam().brokered) {
      ASSERT_TRUE(ns.StartRawSocketBroker());
    }
  }
  void Expect(const TICMP& icmp) {
    EXPECT_EQ(IcmpSocketKindOf(icmp.EchoHandle(), AF_INET6), GetParam().kind);
    EXPECT_EQ(IcmpSocketKindOf(icmp.EchoHandle(), AF_INET), GetParam().kind) << "the same rule";
    EXPECT_EQ(RawSocketBrokerProcess() != 0, GetParam().brokered) << "the broker still serves";
  }
  // Runs `body` with an engine for `address`, made inside `ns` with the
  // wanted kind of socket.
  template <class F>
  void WithEngine(const TNetNs& ns, const std::string& address, F body) {
    Admit(ns);
    if (HasFatalFailure()) return;
    ns.RunInside([&] {
      TICMP icmp;
      Expect(icmp);
      icmp.SetAddress(address);
      body(icmp);
    });
  }
};

// client fd00::1 -- peer fd00::2 on one link, with link-local fe80::1 and
// fe80::2 beside them.
struct TPair {
  TPair() {
    ok = client.Ok() && peer.Ok() &&
         sxtest::Connect(client, "c0", "fd00::1/64 nodad", peer, "p0", "fd00::2/64 nodad") &&
         sxtest::Shell("ip -n " + client.Name() + " addr add fe80::1/64 nodad dev c0 && ip -n " +
                       peer.Name() + " addr add fe80::2/64 nodad dev p0") == 0;
  }
  TNetNs client{"client6"};
  TNetNs peer{"peer6"};
  bool ok = false;
};

TEST_P(Echo6Test, LoopbackAnswersThreeEchoes) {
  SX_REQUIRE_ROOT();
  TNetNs ns("loop6");
  ASSERT_TRUE(ns.Ok());
  WithEngine(ns, "::1", [&](TICMP& icmp) {
    int requests = 0;
    icmp.OnEchoRequest = TICMPEchoRequest([&](TObject*) { ++requests; });
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      const auto& r = icmp.LastReply();
      EXPECT_EQ(r.Address, 0u) << "the IPv4 field names no IPv6 host";
      EXPECT_EQ(icmp.LastReplyFrom6(), Ip6("::1"));
      EXPECT_EQ(r.Status, 0u);
      EXPECT_EQ(r.DataSize, 56);
      EXPECT_LT(r.RoundTripTime, 100u);
      EXPECT_EQ(r.Options.Ttl, 64) << "the hop limit it arrived with";
      EXPECT_EQ(icmp.StatusText(), "No error");
    }
    EXPECT_EQ(requests, 3);
    EXPECT_TRUE(icmp.TargetIsIp6());
    EXPECT_EQ(icmp.TargetAddr(), kInaddrNone);
    EXPECT_EQ(icmp.TargetIP(), "::1");
    EXPECT_EQ(icmp.TargetName(), "::1");
    // Written in full, the literal stays the name; the address is canonical.
    icmp.SetAddress("0:0:0:0:0:0:0:1");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.TargetName(), "0:0:0:0:0:0:0:1");
    EXPECT_EQ(icmp.TargetIP(), "::1");
    // The kernel sends a request for :: to the loopback address.
    icmp.SetAddress("::");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.LastReplyFrom6(), Ip6("::1"));
    // And the same engine goes on with IPv4.
    icmp.SetAddress("127.0.0.1");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.LastReply().Address, inet_addr("127.0.0.1"));
    EXPECT_FALSE(icmp.TargetIsIp6());
  });
}

TEST_P(Echo6Test, SizesOnLoopbackAndTheFlagThatMeansNothingHere) {
  SX_REQUIRE_ROOT();
  TNetNs ns("sizes6");
  ASSERT_TRUE(ns.Ok());
  WithEngine(ns, "::1", [&](TICMP& icmp) {
    // The largest fills the IPv6 payload: 8 bytes of header and 65527.
    for (int size : {0, 1, 45, 1452, 8192, 65527}) {
      icmp.SetSize(size);
      ASSERT_EQ(icmp.SendEcho(), 1) << size << ": " << icmp.StatusText();
      EXPECT_EQ(icmp.LastReply().DataSize, size);
    }
    icmp.SetSize(65528);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Packet too big");
    // The sending host fragments, whatever the don't-fragment flag says.
    ASSERT_EQ(ns.Exec("ip link set lo mtu 1500"), 0);
    icmp.SetFlags(IP_FLAG_DF);
    icmp.SetSize(2000);
    EXPECT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.LastReply().DataSize, 2000);
  });
}

TEST_P(Echo6Test, APeerThirtyMillisecondsAwayOnTheLink) {
  SX_REQUIRE_ROOT();
  TPair pair;
  ASSERT_TRUE(pair.ok);
  sxtest::TIcmpResponder responder(pair.peer, 30);
  ASSERT_TRUE(responder.Ok());
  WithEngine(pair.client, "fd00::2", [&](TICMP& icmp) {
    std::vector<std::uint32_t> rtts;
    for (int i = 0; i < 5; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      rtts.push_back(icmp.LastReply().RoundTripTime);
      EXPECT_EQ(icmp.LastReplyFrom6(), Ip6("fd00::2"));
      EXPECT_EQ(icmp.LastReply().Options.Ttl, 64) << "no router on the way";
    }
    std::sort(rtts.begin(), rtts.end());
    EXPECT_GE(rtts.front(), 30u);
    EXPECT_LT(rtts.back(), 45u);
    EXPECT_LE(rtts[rtts.size() / 2], 31u);
    // A time-out shorter than the delay gives up, and the late reply is not
    // taken for the next request's.
    icmp.SetTimeout(10);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Request timed out");
    icmp.SetTimeout(1000);
    ASSERT_EQ(icmp.SendEcho(), 1);
    EXPECT_GE(icmp.LastReply().RoundTripTime, 30u);

    // The peer's link-local address, with the link named.
    icmp.SetAddress("fe80::2%c0");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.TargetIP(), "fe80::2%c0");
    EXPECT_EQ(Ip6Text(icmp.LastReplyFrom6()), "fe80::2%c0");
    // Without its link a link-local address names no host; nor does an
    // IPv4 host's mapped address, for ICMPv6.
    for (const char* nowhere : {"fe80::2", "::ffff:127.0.0.1"}) {
      icmp.SetAddress(nowhere);
      EXPECT_EQ(icmp.SendEcho(), 0) << nowhere;
      EXPECT_EQ(icmp.StatusText(), "Bad Destination") << nowhere;
    }
  });
}

TEST_P(Echo6Test, HopLimitOneAcrossARouterExpiresInTransit) {
  SX_REQUIRE_ROOT();
  TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  WithEngine(lab.client, TPingLab6::kTargetIp6, [&](TICMP& icmp) {
    ASSERT_EQ(icmp.SendEcho(), 1) << "target reachable: " << icmp.StatusText();
    EXPECT_EQ(icmp.LastReply().Options.Ttl, 63) << "one router on the way";
    icmp.SetTTL(1);
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(icmp.SendEcho(), 0);
      EXPECT_EQ(icmp.LastStatus(), 11013);
      EXPECT_EQ(icmp.StatusText(), "TTL expired in transit");
      EXPECT_EQ(icmp.LastReply().Status, 11013u);
      EXPECT_EQ(icmp.LastReplyFrom6(), Ip6(TPingLab6::kRouterIp6));
    }
    icmp.SetTTL(2);
    EXPECT_EQ(icmp.SendEcho(), 1);
  });
}

TEST_P(Echo6Test, UnroutedDestinationIsUnreachable) {
  SX_REQUIRE_ROOT();
  TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  WithEngine(lab.client, TPingLab6::kUnrouted6, [&](TICMP& icmp) {
    icmp.SetTimeout(2000);
    const auto start = Clock::now();
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_LT(MsSince(start), 1000) << "the router answers at once";
    EXPECT_EQ(icmp.StatusText(), "Destination network unreachable");
    EXPECT_EQ(icmp.LastReplyFrom6(), Ip6(TPingLab6::kRouterIp6));
  });
  // Without any route the client's own kernel refuses.
  ASSERT_EQ(sxtest::Shell("ip -n " + lab.client.Name() + " -6 route del default"), 0);
  WithEngine(lab.client, TPingLab6::kUnrouted6, [&](TICMP& icmp) {
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(icmp.StatusText(), "Destination network unreachable");
  });
}

TEST_P(Echo6Test, BlackholedHostTimesOutAfterTheTimeout) {
  SX_REQUIRE_ROOT();
  TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  WithEngine(lab.client, TPingLab6::kBlackholed6, [&](TICMP& icmp) {
    icmp.SetTimeout(700);
    const auto start = Clock::now();
    EXPECT_EQ(icmp.SendEcho(), 0);
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 700);
    EXPECT_LT(elapsed, 850);
    EXPECT_EQ(icmp.StatusText(), "Request timed out");
    EXPECT_EQ(icmp.LastReply().Status, 11010u);
  });
}

// Someone who sees our request answers it first, from a third address:
// that is not the reply of the host we pinged.
TEST_P(Echo6Test, AForgedReplyFromAThirdAddressIsIgnored) {
  SX_REQUIRE_ROOT();
  TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  sxtest::TIcmpResponder responder(lab.target, 30, 0, "spoof", "fd00:77:2::99");
  ASSERT_TRUE(responder.Ok());
  WithEngine(lab.client, TPingLab6::kTargetIp6, [&](TICMP& icmp) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      EXPECT_EQ(Ip6Text(icmp.LastReplyFrom6()), TPingLab6::kTargetIp6);
      EXPECT_GE(icmp.LastReply().RoundTripTime, 30u) << "the forged copy came at once";
    }
  });
}

// An error that quotes our identifier, sequence and payload, but a datagram
// sent to some other host, is not about our request; nor is a reply forged
// ahead for the next sequence number.
TEST_P(Echo6Test, ErrorsAboutOtherDatagramsAndRepliesForgedAheadAreIgnored) {
  SX_REQUIRE_ROOT();
  TPingLab6 lab;
  ASSERT_TRUE(lab.Ok());
  {
    sxtest::TIcmpResponder responder(lab.target, 30, 0, "error", "fd00:77:2::77");
    ASSERT_TRUE(responder.Ok());
    WithEngine(lab.client, TPingLab6::kTargetIp6, [&](TICMP& icmp) {
      // Address, port and administratively prohibited in turn.
      for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
        EXPECT_EQ(icmp.StatusText(), "No error");
        EXPECT_GE(icmp.LastReply().RoundTripTime, 30u);
      }
    });
  }
  sxtest::TIcmpResponder responder(lab.target, 30, 0, "ahead");
  ASSERT_TRUE(responder.Ok());
  WithEngine(lab.client, TPingLab6::kTargetIp6, [&](TICMP& icmp) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      EXPECT_GE(icmp.LastReply().RoundTripTime, 30u) << "echo " << i;
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Sockets, Echo6Test, ::testing::ValuesIn(sxtest::kSocketCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
