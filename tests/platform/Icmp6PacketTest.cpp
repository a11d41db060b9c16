// Recognising our ICMPv6 echo reply and the errors that quote our request.
// ICMPv6 sockets of both kinds hand over the message without the IPv6
// header, so the sender is the socket's to say.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstring>
#include <vector>

#include "platform/IcmpPacket.h"

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kPayload = {'p', 'i', 'n', 'g', '6'};
constexpr const char* kTarget = "fd00:77:2::1";
constexpr const char* kClient = "fd00:77:1::1";

std::array<std::uint8_t, 16> Addr(const char* text) {
  std::array<std::uint8_t, 16> a{};
  EXPECT_EQ(::inet_pton(AF_INET6, text, a.data()), 1) << text;
  return a;
}

TEchoRequestKey Key(bool check_id = true) {
  TEchoRequestKey key;
  key.ip6 = true;
  key.destination6 = Addr(kTarget);
  key.id = htons(0x1234);
  key.seq = htons(7);
  key.check_id = check_id;
  key.payload = kPayload.data();
  key.payload_size = kPayload.size();
  return key;
}

Bytes Echo(std::uint8_t type, std::uint16_t id, std::uint16_t seq, const Bytes& data) {
  Bytes m = {type,
             0,
             0xAB,  // the checksum is the kernel's to check: anything will do
             0xCD,
             static_cast<std::uint8_t>(id >> 8),
             static_cast<std::uint8_t>(id),
             static_cast<std::uint8_t>(seq >> 8),
             static_cast<std::uint8_t>(seq)};
  m.insert(m.end(), data.begin(), data.end());
  return m;
}

// A datagram as an error quotes it: the fixed IPv6 header, then `body`.
Bytes Ip6(const Bytes& body, const char* from = kClient, const char* to = kTarget,
          std::uint8_t next = 58) {
  Bytes h(40, 0);
  h[0] = 0x60;
  h[4] = static_cast<std::uint8_t>(body.size() >> 8);
  h[5] = static_cast<std::uint8_t>(body.size());
  h[6] = next;
  h[7] = 64;
  const auto a = Addr(from), b = Addr(to);
  std::memcpy(&h[8], a.data(), 16);
  std::memcpy(&h[24], b.data(), 16);
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

Bytes Error(std::uint8_t type, std::uint8_t code, const Bytes& quoted_datagram) {
  Bytes m = {type, code, 0, 0, 0, 0, 0, 0};
  m.insert(m.end(), quoted_datagram.begin(), quoted_datagram.end());
  return m;
}

TIcmpParse Parse(const Bytes& b, const TEchoRequestKey& key = Key(), bool ip_header = false) {
  return ParseIcmpPacket(b.data(), b.size(), ip_header, key);
}

TEST(Icmp6PacketTest, OurReplyOnEitherKindOfSocket) {
  const TIcmpParse raw = Parse(Echo(129, 0x1234, 7, kPayload));
  ASSERT_EQ(raw.verdict, TIcmpVerdict::kEchoReply);
  EXPECT_EQ(raw.data_offset, 8u);
  EXPECT_EQ(raw.data_size, kPayload.size());
  // A raw socket's flag asks for no IPv4 header here.
  EXPECT_EQ(Parse(Echo(129, 0x1234, 7, kPayload), Key(), true).verdict, TIcmpVerdict::kEchoReply);
  // The ping socket's identifier is the kernel's.
  EXPECT_EQ(Parse(Echo(129, 0x9999, 7, kPayload), Key(false)).verdict, TIcmpVerdict::kEchoReply);
}

TEST(Icmp6PacketTest, SomeoneElsesMessagesAreUnrelated) {
  const Bytes cases[] = {
      Echo(129, 0x1235, 7, kPayload),                   // other identifier
      Echo(129, 0x1234, 8, kPayload),                   // other sequence
      Echo(129, 0x1234, 7, {'p', 'i', 'n', 'g', '4'}),  // other data
      Echo(129, 0x1234, 7, Bytes(kPayload.begin(), kPayload.end() - 1)),
      Echo(128, 0x1234, 7, kPayload),  // a request, not a reply
      Echo(0, 0x1234, 7, kPayload),    // an IPv4 reply's type
      Echo(137, 0x1234, 7, kPayload),  // a redirect
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c).verdict, TIcmpVerdict::kUnrelated);
  // And an ICMPv6 reply means nothing to an IPv4 key.
  TEchoRequestKey v4 = Key();
  v4.ip6 = false;
  EXPECT_EQ(Parse(Echo(129, 0x1234, 7, kPayload), v4).verdict, TIcmpVerdict::kUnrelated);
}

TEST(Icmp6PacketTest, ErrorsQuotingOurRequestMapToStatusCodes) {
  const Bytes request = Ip6(Echo(128, 0x1234, 7, kPayload));
  struct TCase {
    std::uint8_t type, code;
    std::uint32_t status;
  };
  const TCase cases[] = {
      {3, 0, 11013},  // hop limit exceeded in transit
      {3, 1, 11014},  // fragment reassembly time exceeded
      {1, 0, 11002},  // no route
      {1, 1, 11003},  // administratively prohibited
      {1, 2, 11002},  // beyond the scope of the source address
      {1, 3, 11003},  // address unreachable
      {1, 4, 11005},  // port unreachable
      {1, 5, 11003},  // source address failed a policy
      {1, 6, 11002},  // reject route
      {2, 0, 11009},  // packet too big
      {4, 0, 11015},  // parameter problem
      {4, 1, 11015},
  };
  for (const auto& c : cases) {
    const TIcmpParse p = Parse(Error(c.type, c.code, request));
    EXPECT_EQ(p.verdict, TIcmpVerdict::kError) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(p.status, c.status) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(Icmp6ErrorStatus(c.type, c.code), c.status);
  }
  // Quoting only the first 8 bytes of our message is enough.
  Bytes short_quote = request;
  short_quote.resize(48);
  EXPECT_EQ(Parse(Error(3, 0, short_quote)).verdict, TIcmpVerdict::kError);
  // Informational messages are no errors.
  for (std::uint8_t type : {128, 129, 133, 134, 135, 136, 137})
    EXPECT_EQ(Icmp6ErrorStatus(type, 0), IP_SUCCESS) << int(type);
}

TEST(Icmp6PacketTest, ErrorsAboutOtherDatagramsAreUnrelated) {
  const Bytes cases[] = {
      Error(3, 0, Ip6(Echo(128, 0x4321, 7, kPayload))),                   // other identifier
      Error(3, 0, Ip6(Echo(128, 0x1234, 6, kPayload))),                   // other sequence
      Error(3, 0, Ip6(Echo(128, 0x1234, 7, {'x', 'i', 'n', 'g', '6'}))),  // other data
      Error(3, 0, Ip6(Echo(129, 0x1234, 7, kPayload))),                   // a reply quoted
      Error(3, 0, Ip6(Echo(8, 0x1234, 7, kPayload))),                     // an IPv4 request
      Error(137, 0, Ip6(Echo(128, 0x1234, 7, kPayload))),                 // a redirect
      // Ours in every field but sent to another host: copied from our
      // request by someone who saw it.
      Error(1, 3, Ip6(Echo(128, 0x1234, 7, kPayload), kClient, "fd00:77:2::77")),
      // Not ICMPv6 after the header (an extension header, UDP).
      Error(3, 0, Ip6(Echo(128, 0x1234, 7, kPayload), kClient, kTarget, 0)),
      Error(3, 0, Ip6(Echo(128, 0x1234, 7, kPayload), kClient, kTarget, 17)),
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c).verdict, TIcmpVerdict::kUnrelated);

  Bytes v4 = Error(3, 0, Ip6(Echo(128, 0x1234, 7, kPayload)));
  v4[8] = 0x45;  // the quoted header says it is IPv4
  EXPECT_EQ(Parse(v4).verdict, TIcmpVerdict::kUnrelated);
}

TEST(Icmp6PacketTest, TruncatedInputIsUnrelated) {
  const Bytes full = Error(3, 0, Ip6(Echo(128, 0x1234, 7, kPayload)));
  // Less than the error header, the quoted IPv6 header and 8 bytes of ours.
  for (std::size_t n = 0; n < 8 + 40 + 8; ++n) {
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(Parse(cut).verdict, TIcmpVerdict::kUnrelated) << n;
  }
}

}  // namespace
