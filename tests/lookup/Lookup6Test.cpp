// Names and IPv6: a name whose only addresses are IPv6 is pinged over IPv6,
// one with an IPv4 address keeps IPv4, through the system resolver with the
// names a sandbox serves (hosts file and DNS), on both kinds of socket.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ping/Ping.h"
#include "platform/Sockets.h"
#include "support/NetNs.h"
#include "support/ResolverSandbox.h"

using namespace platform;

namespace {

// The hosts file's names use an address of their own (Admit puts it on the
// loopback): a hosts line for ::1 also answers IPv4 lookups, with 127.0.0.1.
// They lie in the domain the sandbox's DNS serves, which then says that it
// knows no IPv4 address for them (a server that cannot be asked leaves that
// open, and the name unknown).
const char* kHosts =
    "fd00:5::1 v6host.sonarix.test v6alias.sonarix.test\n"
    "127.0.0.1 dualhost.sonarix.test\n"
    "fd00:5::1 dualhost.sonarix.test\n";
const char* kRecords =
    "::1 v6only.sonarix.test\n"
    "127.0.0.1 dual.sonarix.test\n"
    "::1 dual.sonarix.test\n";

const TIcmpSocketKind kKinds[] = {TIcmpSocketKind::kPing, TIcmpSocketKind::kRaw};

class Lookup6Test : public ::testing::TestWithParam<TIcmpSocketKind> {
 protected:
  // Inside the sandbox (its own network namespace): admits this process to
  // ping sockets or not, and gives the loopback the hosts file's address.
  void Admit() {
    ASSERT_EQ(sxtest::Shell("ip addr add fd00:5::1/128 dev lo nodad"), 0);
    const bool ping = GetParam() == TIcmpSocketKind::kPing;
    ASSERT_EQ(sxtest::Shell(std::string("sysctl -q -w net.ipv4.ping_group_range='") +
                            (ping ? "0 2147483647" : "1 0") + "'"),
              0);
  }

  // The component's way: look the name up, then ping what it found, as
  // the main window does.
  struct TOutcome {
    int error = -1;
    std::string result, target_ip;
    bool ip6 = false;
    std::int32_t replies = 0;
  };
  TOutcome LookUpAndPing(TPing& ping, const std::string& name) {
    TOutcome out;
    ping.OnDnsLookupDone =
        TDnsLookupDone([&](TObject*, std::uint16_t error) { out.error = error; });
    ping.LookupHost(name);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (out.error < 0 && std::chrono::steady_clock::now() < end) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    out.result = ping.LookupResult();
    if (out.error != 0) return out;
    ping.SetAddress(ping.LookupResult());
    out.replies = ping.SendEcho();
    out.target_ip = ping.TargetIP();
    out.ip6 = ping.Icmp()->TargetIsIp6();
    EXPECT_EQ(IcmpSocketKindOf(ping.Icmp()->EchoHandle(), out.ip6 ? AF_INET6 : AF_INET),
              GetParam());
    return out;
  }
};

#define SX_IN_SANDBOX()                                                 \
  do {                                                                  \
    SX_REQUIRE_ROOT();                                                  \
    if (!sxtest::InResolverSandbox()) {                                 \
      ASSERT_EQ(sxtest::RerunInResolverSandbox({kHosts, kRecords}), 0); \
      return;                                                           \
    }                                                                   \
  } while (0)

TEST_P(Lookup6Test, ANameWithIpv6AddressesOnlyIsPingedOverIpv6) {
  SX_IN_SANDBOX();
  Admit();
  TPing ping(nullptr);
  const std::pair<const char*, const char*> names[] = {{"v6only.sonarix.test", "::1"},
                                                       {"v6host.sonarix.test", "fd00:5::1"},
                                                       {"v6alias.sonarix.test", "fd00:5::1"}};
  for (const auto& [name, address] : names) {
    const TOutcome o = LookUpAndPing(ping, name);
    EXPECT_EQ(o.error, 0) << name;
    EXPECT_EQ(o.result, address) << name;
    EXPECT_TRUE(o.ip6) << name;
    EXPECT_EQ(o.replies, 1) << name << ": " << ping.StatusText();
    EXPECT_EQ(o.target_ip, address);
  }
  // A name that does not exist at all keeps the IPv4 lookup's reason.
  EXPECT_EQ(LookUpAndPing(ping, "nosuch.sonarix.test").error, WSAHOST_NOT_FOUND);
}

TEST_P(Lookup6Test, ANameWithBothKindsOfAddressKeepsIpv4) {
  SX_IN_SANDBOX();
  Admit();
  TPing ping(nullptr);
  for (const char* name : {"dual.sonarix.test", "dualhost.sonarix.test"}) {
    const TOutcome o = LookUpAndPing(ping, name);
    EXPECT_EQ(o.error, 0) << name;
    EXPECT_EQ(o.result, "127.0.0.1") << name;
    EXPECT_FALSE(o.ip6) << name;
    EXPECT_EQ(o.replies, 1) << name << ": " << ping.StatusText();
    EXPECT_EQ(ping.LastReply().Address, inet_addr("127.0.0.1"));
  }
}

// The engine resolving a name itself (blocking), as it does when its
// Address is set to one.
TEST_P(Lookup6Test, TheEngineResolvesANameOfEitherFamilyItself) {
  SX_IN_SANDBOX();
  Admit();
  TICMP icmp;
  icmp.SetAddress("v6alias.sonarix.test");
  ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
  EXPECT_TRUE(icmp.TargetIsIp6());
  EXPECT_EQ(icmp.TargetName(), "v6host.sonarix.test") << "the official name";
  EXPECT_EQ(icmp.TargetIP(), "fd00:5::1");
  EXPECT_EQ(IcmpSocketKindOf(icmp.EchoHandle(), AF_INET6), GetParam());

  icmp.SetAddress("dualhost.sonarix.test");
  ASSERT_EQ(icmp.SendEcho(), 1) << icmp.StatusText();
  EXPECT_FALSE(icmp.TargetIsIp6());
  EXPECT_EQ(icmp.TargetIP(), "127.0.0.1");

  // The IPv4 call still knows no IPv6 address.
  EXPECT_FALSE(gethostbyname("v6alias.sonarix.test"));
  std::vector<std::string> texts;
  icmp.OnDisplay = TICMPDisplay([&](TObject*, const std::string& msg) { texts.push_back(msg); });
  icmp.SetAddress("nosuch.sonarix.test");
  EXPECT_EQ(icmp.SendEcho(), 0);
  EXPECT_EQ(texts, (std::vector<std::string>{"Unable to resolve nosuch.sonarix.test",
                                             "Invalid host address"}));
}

INSTANTIATE_TEST_SUITE_P(Sockets, Lookup6Test, ::testing::ValuesIn(kKinds), [](const auto& info) {
  return info.param == TIcmpSocketKind::kPing ? "PingSocket" : "RawSocket";
});

}  // namespace
