// The locked kernel filter that comes with every raw ICMP socket, against
// real traffic: another raw socket sends messages to a namespace's loopback
// address, and ours must see only echo replies with our identifier and the
// errors we read that quote our echo request.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/IcmpPacket.h"
#include "platform/RawSockets.h"
#include "support/NetNs.h"

using namespace platform;
using sxtest::TNetNs;

namespace {

using TBytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kOurs = 0x5A17;
constexpr std::uint16_t kTheirs = 0x5A18;

void Put16(TBytes& b, std::size_t at, std::uint16_t host_order) {
  b[at] = static_cast<std::uint8_t>(host_order >> 8);
  b[at + 1] = static_cast<std::uint8_t>(host_order);
}

// An ICMP or ICMPv6 header of `type` whose second word is `id` and `seq`
// (an echo's identifier and sequence), with 8 bytes of data.
TBytes Message(std::uint8_t type, std::uint16_t id, std::uint16_t seq) {
  TBytes b(16, 0x61);
  b[0] = type;
  b[1] = 0;
  Put16(b, 2, 0);
  Put16(b, 4, id);
  Put16(b, 6, seq);
  return b;
}

// An error of `type` (unused word zero) quoting `quoted`.
TBytes Error(std::uint8_t type, std::uint8_t code, const TBytes& quoted) {
  TBytes b(8, 0);
  b[0] = type;
  b[1] = code;
  b.insert(b.end(), quoted.begin(), quoted.end());
  return b;
}

// An IPv4 header from 127.0.0.1 to 10.9.9.9 for `protocol`, `options` words
// of options long, then the first 8 bytes of `payload`.
TBytes QuotedIpv4(std::uint8_t protocol, const TBytes& payload, int options = 0) {
  TBytes b(20 + 4 * options, 0);
  b[0] = static_cast<std::uint8_t>(0x45 + options);
  Put16(b, 2, static_cast<std::uint16_t>(b.size() + payload.size()));
  b[8] = 64;
  b[9] = protocol;
  const std::uint8_t from[] = {127, 0, 0, 1}, to[] = {10, 9, 9, 9};
  std::memcpy(&b[12], from, 4);
  std::memcpy(&b[16], to, 4);
  for (int i = 0; i < 4 * options; ++i) b[20 + i] = 1;  // no-operation options
  b.insert(b.end(), payload.begin(), payload.begin() + 8);
  return b;
}

// An IPv6 header from ::1 to fd00::9 with `next_header`, then `payload`.
TBytes QuotedIpv6(std::uint8_t next_header, const TBytes& payload) {
  TBytes b(40, 0);
  b[0] = 0x60;
  Put16(b, 4, static_cast<std::uint16_t>(payload.size()));
  b[6] = next_header;
  b[7] = 64;
  b[23] = 1;
  b[24] = 0xFD;
  b[39] = 9;
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

// Our filtered socket and an unfiltered one that sends to the loopback
// address, both in the calling thread's namespace.
class TFilterProbe {
 public:
  explicit TFilterProbe(int family) : family_(family) {
    ours_ = OpenRawIcmpSocket(family, htons(kOurs));
    const int protocol = family == AF_INET ? static_cast<int>(IPPROTO_ICMP) : IPPROTO_ICMPV6;
    sender_ = ::socket(family, SOCK_RAW | SOCK_CLOEXEC, protocol);
  }
  ~TFilterProbe() {
    if (ours_ >= 0) ::close(ours_);
    if (sender_ >= 0) ::close(sender_);
  }
  TFilterProbe(const TFilterProbe&) = delete;
  TFilterProbe& operator=(const TFilterProbe&) = delete;

  bool Ok() const { return ours_ >= 0 && sender_ >= 0; }

  // Whether our socket takes `message`: it is sent, then a marker that
  // passes any filter of ours (an echo reply with our identifier); what
  // arrives first tells.
  testing::AssertionResult Sees(const TBytes& message) {
    TBytes marker = Message(Family4() ? kIcmpEchoReply : 129, kOurs, ++marker_seq_);
    marker.back() = 'm';
    if (!Send(message) || !Send(marker)) return testing::AssertionFailure() << "cannot send";
    const TBytes first = Receive();
    if (Same(first, marker)) return testing::AssertionFailure() << "dropped";
    if (!Same(first, message))
      return testing::AssertionFailure() << "something else arrived: " << first.size() << " bytes";
    if (!Same(Receive(), marker)) return testing::AssertionFailure() << "the marker went missing";
    return testing::AssertionSuccess() << "taken";
  }

 private:
  bool Family4() const { return family_ == AF_INET; }

  bool Send(TBytes message) {
    sockaddr_storage to{};
    socklen_t size = 0;
    if (Family4()) {
      const std::uint16_t sum = InternetChecksum(message.data(), message.size());
      std::memcpy(&message[2], &sum, 2);
      auto* v4 = reinterpret_cast<sockaddr_in*>(&to);
      v4->sin_family = AF_INET;
      v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      size = sizeof *v4;
    } else {
      // The kernel sums ICMPv6 itself.
      auto* v6 = reinterpret_cast<sockaddr_in6*>(&to);
      v6->sin6_family = AF_INET6;
      v6->sin6_addr = in6addr_loopback;
      size = sizeof *v6;
    }
    return ::sendto(sender_, message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to),
                    size) == static_cast<ssize_t>(message.size());
  }

  // The next message on our socket, without its IPv4 header; empty after a
  // second of nothing.
  TBytes Receive() {
    pollfd p{ours_, POLLIN, 0};
    if (::poll(&p, 1, 1000) != 1) return {};
    TBytes b(2048);
    const ssize_t n = ::recv(ours_, b.data(), b.size(), 0);
    if (n <= 0) return {};
    b.resize(static_cast<std::size_t>(n));
    if (Family4()) b.erase(b.begin(), b.begin() + 4 * (b[0] & 0x0F));
    return b;
  }

  // The checksum aside (the kernel fills in ICMPv6's).
  static bool Same(const TBytes& a, const TBytes& b) {
    return a.size() == b.size() && a.size() >= 4 && a[0] == b[0] && a[1] == b[1] &&
           std::equal(a.begin() + 4, a.end(), b.begin() + 4);
  }

  int family_;
  int ours_ = -1;
  int sender_ = -1;
  std::uint16_t marker_seq_ = 0;
};

}  // namespace

TEST(RawSocketFilter, Ipv4TakesOnlyOurRepliesAndErrorsQuotingOurRequest) {
  SX_REQUIRE_ROOT();
  TNetNs ns("filter4");
  ASSERT_TRUE(ns.Ok());
  // Requests sent here stay unanswered: a reply would be one more message.
  ASSERT_TRUE(ns.Sysctl("net.ipv4.icmp_echo_ignore_all", "1"));
  ns.RunInside([] {
    TFilterProbe probe(AF_INET);
    ASSERT_TRUE(probe.Ok()) << std::strerror(errno);
    const TBytes our_request = Message(kIcmpEchoRequest, kOurs, 7);
    const TBytes their_request = Message(kIcmpEchoRequest, kTheirs, 7);

    EXPECT_TRUE(probe.Sees(Message(kIcmpEchoReply, kOurs, 1)));
    EXPECT_FALSE(probe.Sees(Message(kIcmpEchoReply, kTheirs, 1)));
    EXPECT_FALSE(probe.Sees(our_request)) << "a request, though with our identifier";
    for (std::uint8_t type :
         {kIcmpDestUnreachable, kIcmpSourceQuench, kIcmpTimeExceeded, kIcmpParameterProblem}) {
      SCOPED_TRACE(static_cast<int>(type));
      EXPECT_TRUE(probe.Sees(Error(type, 0, QuotedIpv4(IPPROTO_ICMP, our_request))));
      EXPECT_FALSE(probe.Sees(Error(type, 0, QuotedIpv4(IPPROTO_ICMP, their_request))));
    }
    // The quoted header's own length counts.
    EXPECT_TRUE(probe.Sees(Error(kIcmpTimeExceeded, 0, QuotedIpv4(IPPROTO_ICMP, our_request, 2))));
    // The bytes of our request, but in a UDP datagram; our identifier in a
    // quoted reply; a redirect: none of them is about our request.
    const TBytes udp = Message(kIcmpEchoRequest, kOurs, 7);  // source port 2048, length ours
    EXPECT_FALSE(probe.Sees(Error(kIcmpDestUnreachable, 3, QuotedIpv4(IPPROTO_UDP, udp))));
    EXPECT_FALSE(probe.Sees(
        Error(kIcmpTimeExceeded, 0, QuotedIpv4(IPPROTO_ICMP, Message(kIcmpEchoReply, kOurs, 7)))));
    EXPECT_FALSE(probe.Sees(Error(5, 1, QuotedIpv4(IPPROTO_ICMP, our_request))));
    // Cut short before the quoted identifier.
    TBytes cut = Error(kIcmpTimeExceeded, 0, QuotedIpv4(IPPROTO_ICMP, our_request));
    cut.resize(8 + 20 + 4);
    EXPECT_FALSE(probe.Sees(cut));
  });
}

TEST(RawSocketFilter, Ipv6TakesOnlyOurRepliesAndErrorsQuotingOurRequest) {
  SX_REQUIRE_ROOT();
  TNetNs ns("filter6");
  ASSERT_TRUE(ns.Ok());
  if (ns.Exec("ip -6 addr show dev lo | grep -q '::1/128'") != 0)
    GTEST_SKIP() << "no IPv6 on the loopback interface here";
  ASSERT_TRUE(ns.Sysctl("net.ipv6.icmp.echo_ignore_all", "1"));
  ns.RunInside([] {
    TFilterProbe probe(AF_INET6);
    ASSERT_TRUE(probe.Ok()) << std::strerror(errno);
    constexpr std::uint8_t kRequest = 128, kReply = 129;
    const TBytes our_request = Message(kRequest, kOurs, 7);
    const TBytes their_request = Message(kRequest, kTheirs, 7);

    EXPECT_TRUE(probe.Sees(Message(kReply, kOurs, 1)));
    EXPECT_FALSE(probe.Sees(Message(kReply, kTheirs, 1)));
    EXPECT_FALSE(probe.Sees(our_request));
    // Destination unreachable, packet too big, time exceeded, parameter problem.
    for (std::uint8_t type : {1, 2, 3, 4}) {
      SCOPED_TRACE(static_cast<int>(type));
      EXPECT_TRUE(probe.Sees(Error(type, 0, QuotedIpv6(IPPROTO_ICMPV6, our_request))));
      EXPECT_FALSE(probe.Sees(Error(type, 0, QuotedIpv6(IPPROTO_ICMPV6, their_request))));
    }
    const TBytes udp = Message(kRequest, kOurs, 7);  // source port 32768, length ours
    EXPECT_FALSE(probe.Sees(Error(1, 4, QuotedIpv6(IPPROTO_UDP, udp))));
    EXPECT_FALSE(probe.Sees(Error(3, 0, QuotedIpv6(IPPROTO_ICMPV6, Message(kReply, kOurs, 7)))));
    // Neighbour discovery and the rest of the host's ICMPv6 stay out.
    EXPECT_FALSE(probe.Sees(Message(135, kOurs, 0)));
  });
}
