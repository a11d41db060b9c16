// Echoes against the kernel: loopback through both kinds of ICMP socket, and
// a lab of namespaces (client, router, target) for TTL expiry, unreachable
// and blackholed destinations, a slow host and two pingers at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "net/SocketCases.h"
#include "ping/ICMP.h"
#include "platform/RawSockets.h"
#include "platform/Sockets.h"
#include "support/NetNs.h"

using namespace platform;
using sxtest::TNetNs;
using sxtest::TPingLab;
using sxtest::TSocketCase;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Round trips to the host 30 ms away: 30 or 31 ms. On a loaded machine the
// kernel may defer forwarding a reply now and then, so `late_allowed` late
// samples are tolerated, never an early one.
void ExpectThirtyMs(std::vector<std::uint32_t> rtts, int late_allowed = 1) {
  ASSERT_FALSE(rtts.empty());
  int late = 0;
  for (std::uint32_t rtt : rtts) {
    EXPECT_GE(rtt, 30u);
    EXPECT_LT(rtt, 45u);
    if (rtt > 31) ++late;
  }
  EXPECT_LE(late, late_allowed) << "most round trips are 30 or 31 ms";
  std::sort(rtts.begin(), rtts.end());
  const std::uint32_t median = rtts[rtts.size() / 2];
  EXPECT_TRUE(median == 30 || median == 31) << median;
}

// Bytes waiting in the receive queues of all ICMP sockets (raw and ping) of
// a namespace, from the kernel's socket tables.
long QueuedIcmpBytes(const TNetNs& ns) {
  const std::string table =
      sxtest::ShellOutput("ip netns exec " + ns.Name() + " cat /proc/net/raw /proc/net/icmp");
  long total = 0;
  std::istringstream lines(table);
  std::string line;
  while (std::getline(lines, line)) {
    // "sl local rem st tx_queue:rx_queue ...", the queues in hex.
    std::istringstream fields(line);
    std::string sl, local, rem, st, queues;
    if (!(fields >> sl >> local >> rem >> st >> queues) || sl == "sl") continue;
    const auto colon = queues.find(':');
    if (colon != std::string::npos) total += std::stol(queues.substr(colon + 1), nullptr, 16);
  }
  return total;
}

// The bytes queued once they stop growing (a flood has landed), or what is
// queued after two seconds.
long SteadyQueuedIcmpBytes(const TNetNs& ns) {
  long last = -1;
  for (int i = 0; i < 100; ++i) {
    const long now = QueuedIcmpBytes(ns);
    if (now > 0 && now == last) return now;
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return last;
}

class EchoTest : public ::testing::TestWithParam<TSocketCase> {
 protected:
  void TearDown() override { StopRawSocketBroker(); }
  // Ping sockets where the namespace admits us, raw ones where it does not.
  void Admit(const TNetNs& ns) {
    ASSERT_TRUE(ns.AllowPingSockets(GetParam().kind == TIcmpSocketKind::kPing));
    if (GetParam().brokered) {
      ASSERT_TRUE(ns.StartRawSocketBroker());
    }
  }
  // An engine made inside the namespace, checked to use the wanted socket.
  void Expect(const TICMP& icmp) {
    EXPECT_EQ(IcmpSocketKindOf(icmp.EchoHandle()), GetParam().kind);
    EXPECT_EQ(RawSocketBrokerProcess() != 0, GetParam().brokered) << "the broker still serves";
  }
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
    // The kernel sends a request for 0.0.0.0 to the loopback address, which
    // is then the one host that answers it.
    icmp.SetAddress("0.0.0.0");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
    EXPECT_EQ(icmp.LastReply().Address, inet_addr("127.0.0.1"));
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
      // Two pingers and the responder share the machine's cores (with the
      // rest of the suite beside them): two late samples of eight may come.
      ExpectThirtyMs(rtts, 2);
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

// Someone on the path sees our request and answers it first, claiming to be
// a third host: that is not the reply of the host we pinged. Nor is it when
// the host's address ends in a byte that a group address would start with.
TEST_P(EchoTest, AForgedReplyFromAThirdHostIsIgnored) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  const std::string group_like = "10.77.2.230";
  ASSERT_EQ(lab.target.Exec("ip addr add " + group_like + "/24 dev t0"), 0);
  sxtest::TIcmpResponder responder(lab.target, 30, 0, "spoof", "10.77.2.99");
  ASSERT_TRUE(responder.Ok());
  lab.client.RunInside([&] {
    for (const std::string& target : {std::string(TPingLab::kTargetIp), group_like}) {
      TICMP icmp;
      icmp.SetAddress(target);
      for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(icmp.SendEcho(), 1) << target << ": " << icmp.StatusText();
        EXPECT_EQ(inet_ntoa(icmp.LastReply().Address), target);
        EXPECT_GE(icmp.LastReply().RoundTripTime, 30u)
            << target << ": the forged copy came at once";
      }
    }
  });
}

// Every member of a group answers for the group, from its own address.
TEST_P(EchoTest, AnEchoToAGroupIsAnsweredByAMember) {
  SX_REQUIRE_ROOT();
  TNetNs client("mcclient"), member("mcmember");
  ASSERT_TRUE(client.Ok() && member.Ok());
  ASSERT_TRUE(sxtest::Connect(client, "m0", "10.78.1.1/24", member, "m1", "10.78.1.2/24"));
  ASSERT_EQ(client.Exec("ip route add 224.0.0.0/4 dev m0"), 0);
  ASSERT_TRUE(member.Sysctl("net.ipv4.icmp_echo_ignore_broadcasts", "0"));
  Admit(client);
  client.RunInside([&] {
    TICMP icmp;
    Expect(icmp);
    icmp.SetAddress("224.0.0.1");
    for (int i = 0; i < 2; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      EXPECT_EQ(icmp.StatusText(), "No error");
      EXPECT_EQ(inet_ntoa(icmp.LastReply().Address), "10.78.1.2");
    }
  });
}

// A reply for the next sequence number that arrives between two echoes is
// not the answer to the request sent after it.
TEST_P(EchoTest, AReplyForgedAheadForTheNextSequenceIsIgnored) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  sxtest::TIcmpResponder responder(lab.target, 30, 0, "ahead");
  ASSERT_TRUE(responder.Ok());
  lab.client.RunInside([&] {
    TICMP icmp;
    icmp.SetAddress(TPingLab::kTargetIp);
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
      EXPECT_GE(icmp.LastReply().RoundTripTime, 30u) << "echo " << i;
      // The pause between echoes, during which the forged reply arrives.
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  });
}

// An error that quotes our identifier and payload is not about our request
// when the datagram it quotes went to some other host, or carried another
// sequence number.
TEST_P(EchoTest, AnErrorAboutAnotherDatagramIsIgnored) {
  SX_REQUIRE_ROOT();
  TPingLab lab;
  ASSERT_TRUE(lab.Ok());
  Admit(lab.client);
  const std::pair<const char*, const char*> kErrors[] = {
      {"error", "10.77.2.77"}, {"sequence", "1"}, {"sequence", "-1"}};
  for (const auto& error : kErrors) {
    const char* trick = error.first;
    const char* arg = error.second;
    sxtest::TIcmpResponder responder(lab.target, 30, 0, trick, arg);
    ASSERT_TRUE(responder.Ok());
    lab.client.RunInside([&] {
      TICMP icmp;
      icmp.SetAddress(TPingLab::kTargetIp);
      // The other host's errors come as host unreachable, then port
      // unreachable and administratively prohibited, which the kernel also
      // keeps as a pending socket error.
      for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(icmp.SendEcho(), 1) << trick << " " << arg << ": " << icmp.StatusText();
        EXPECT_EQ(icmp.StatusText(), "No error");
        EXPECT_GE(icmp.LastReply().RoundTripTime, 30u);
      }
    });
  }
}

// Another pinger floods loopback while the engine sits idle between echoes;
// the engine's next echo still gets its reply.
TEST_P(EchoTest, AfterAnotherPingersFloodTheNextEchoSucceeds) {
  SX_REQUIRE_ROOT();
  TNetNs ns("flood");
  ASSERT_TRUE(ns.Ok());
  Admit(ns);
  std::unique_ptr<TICMP> icmp;
  ns.RunInside([&] { icmp = std::make_unique<TICMP>(); });
  Expect(*icmp);
  icmp->SetAddress("127.0.0.1");
  icmp->SetTimeout(1000);
  ASSERT_EQ(icmp->SendEcho(), 1) << icmp->StatusText();
  ASSERT_EQ(ns.Exec("ping -f -q -c 2000 127.0.0.1 >/dev/null"), 0);
  // The other pinger is gone; ours is the namespace's only ICMP socket, and
  // the kernel kept the flood's replies out of its queue.
  EXPECT_EQ(QueuedIcmpBytes(ns), 0);
  EXPECT_EQ(icmp->SendEcho(), 1) << icmp->StatusText();
  EXPECT_EQ(icmp->SendEcho(), 1) << icmp->StatusText();
  icmp.reset();
}

// Replies that carry our identifier but none of our sequence numbers pass
// any filter on the identifier. Enough of them while the engine is idle fill
// its receive queue; the next echo's reply, which the kernel gives at once
// on loopback, must still find room.
TEST_P(EchoTest, StrayRepliesWithOurIdentifierAreDrainedBeforeTheNextEcho) {
  SX_REQUIRE_ROOT();
  TNetNs ns("stray");
  ASSERT_TRUE(ns.Ok());
  Admit(ns);
  sxtest::TIcmpResponder flooder(ns, 0, 0, "strays", "2000");
  ASSERT_TRUE(flooder.Ok());
  ASSERT_TRUE(ns.Sysctl("net.ipv4.icmp_echo_ignore_all", "0")) << "the kernel answers for real";
  const long room = std::stol(
      sxtest::ShellOutput("ip netns exec " + ns.Name() + " cat /proc/sys/net/core/rmem_default"));
  ns.RunInside([&] {
    TICMP icmp;
    Expect(icmp);
    icmp.SetAddress("127.0.0.1");
    icmp.SetTimeout(1000);
    for (int i = 0; i < 3; ++i) {
      if (i > 0) {
        // Strays with the identifier the last request showed, until none
        // more fits.
        flooder.SendStrays();
        ASSERT_GE(SteadyQueuedIcmpBytes(ns), room) << "the strays before echo " << i;
      }
      ASSERT_EQ(icmp.SendEcho(), 1) << "echo " << i << ": " << icmp.StatusText();
      EXPECT_LT(icmp.LastReply().RoundTripTime, 100u);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Sockets, EchoTest, ::testing::ValuesIn(sxtest::kSocketCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
