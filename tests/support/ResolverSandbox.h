// Name lookups against the real system resolver with names the test
// serves itself: the current test runs again in a child process with mount
// and network namespaces of its own, where /etc/hosts, /etc/resolv.conf and
// /etc/nsswitch.conf are the test's and dnsmasq answers on 127.0.0.1.
//
//   TEST(Lookup, Something) {
//     SX_REQUIRE_ROOT();
//     if (!sxtest::InResolverSandbox()) {
//       ASSERT_EQ(sxtest::RerunInResolverSandbox({...}), 0);
//       return;
//     }
//     ... the test proper, inside ...
//   }
#pragma once

#include <string>

namespace sxtest {

struct TResolverSetup {
  // Lines of the sandbox's /etc/hosts (localhost is always there; a name on
  // several lines has all their addresses, in file order).
  std::string hosts;
  // Lines "address name" that dnsmasq serves over DNS for *.sonarix.test
  // (other names in that domain do not exist). Empty: no DNS server.
  std::string dns_records;
  // Where resolv.conf sends queries when there is no dnsmasq: an address
  // on which the test may bind a UDP port that never answers.
  std::string silent_server = "127.0.0.2";
  // More dnsmasq options ("--txt-record=name,text" for a name that has
  // records but no address).
  std::string dns_options{};
};

// The domain dnsmasq serves.
inline constexpr const char* kSandboxDomain = "sonarix.test";

bool InResolverSandbox();
// Runs the current test again inside the sandbox; returns its exit status.
int RerunInResolverSandbox(const TResolverSetup& setup);

// Binds a UDP socket on address:53 that never reads or answers; returns its
// descriptor (-1 on failure). Queries to it stay unanswered until the
// resolver's own time-out.
int BindSilentDnsPort(const std::string& address);

}  // namespace sxtest
