// Recognising our echo reply and the errors that quote our request among
// whatever else an ICMP socket receives.
#include "platform/IcmpPacket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstring>
#include <vector>

using namespace platform;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes kPayload = {'a', 'b', 'c', 'd', 'e'};

constexpr const char* kTarget = "10.77.2.1";

TEchoRequestKey Key(bool check_id = true) {
  TEchoRequestKey key;
  key.destination = ::inet_addr(kTarget);
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
             0,
             0,
             static_cast<std::uint8_t>(id >> 8),
             static_cast<std::uint8_t>(id),
             static_cast<std::uint8_t>(seq >> 8),
             static_cast<std::uint8_t>(seq)};
  m.insert(m.end(), data.begin(), data.end());
  const std::uint16_t sum = InternetChecksum(m.data(), m.size());
  std::memcpy(&m[2], &sum, 2);
  return m;
}

Bytes Ip(const Bytes& body, const char* from, std::uint8_t ttl = 61, const char* to = kTarget) {
  Bytes h(20, 0);
  h[0] = 0x45;
  h[2] = static_cast<std::uint8_t>((20 + body.size()) >> 8);
  h[3] = static_cast<std::uint8_t>(20 + body.size());
  h[8] = ttl;
  h[9] = 1;
  const in_addr_t a = ::inet_addr(from), b = ::inet_addr(to);
  std::memcpy(&h[12], &a, 4);
  std::memcpy(&h[16], &b, 4);
  h.insert(h.end(), body.begin(), body.end());
  return h;
}

Bytes Error(std::uint8_t type, std::uint8_t code, const Bytes& quoted_datagram) {
  Bytes m = {type, code, 0, 0, 0, 0, 0, 0};
  m.insert(m.end(), quoted_datagram.begin(), quoted_datagram.end());
  return m;
}

TIcmpParse Parse(const Bytes& b, bool ip = true, const TEchoRequestKey& key = Key()) {
  return ParseIcmpPacket(b.data(), b.size(), ip, key);
}

TEST(IcmpPacketTest, OurReplyThroughARawSocket) {
  const Bytes packet = Ip(Echo(0, 0x1234, 7, kPayload), "10.1.2.3");
  const TIcmpParse p = Parse(packet);
  ASSERT_EQ(p.verdict, TIcmpVerdict::kEchoReply);
  EXPECT_EQ(p.source, ::inet_addr("10.1.2.3"));
  EXPECT_EQ(p.ttl, 61);
  EXPECT_EQ(p.data_offset, 28u);
  EXPECT_EQ(p.data_size, kPayload.size());
}

TEST(IcmpPacketTest, OurReplyThroughAPingSocket) {
  // The kernel's identifier is not ours, and there is no IP header.
  const TIcmpParse p = Parse(Echo(0, 0x9999, 7, kPayload), false, Key(false));
  EXPECT_EQ(p.verdict, TIcmpVerdict::kEchoReply);
  EXPECT_EQ(p.data_offset, 8u);
}

TEST(IcmpPacketTest, SomeoneElsesPacketsAreUnrelated) {
  const Bytes other_payload = {'a', 'b', 'c', 'd', 'X'};
  const Bytes cases[] = {
      Ip(Echo(0, 0x1235, 7, kPayload), "10.1.2.3"),       // other identifier
      Ip(Echo(0, 0x1234, 8, kPayload), "10.1.2.3"),       // other sequence
      Ip(Echo(0, 0x1234, 7, other_payload), "10.1.2.3"),  // other data
      Ip(Echo(0, 0x1234, 7, Bytes(kPayload.begin(), kPayload.end() - 1)), "10.1.2.3"),
      Ip(Echo(8, 0x1234, 7, kPayload), "10.1.2.3"),  // a request, not a reply
      Ip(Echo(5, 0x1234, 7, kPayload), "10.1.2.3"),  // a redirect
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c).verdict, TIcmpVerdict::kUnrelated);

  Bytes bad_sum = Ip(Echo(0, 0x1234, 7, kPayload), "10.1.2.3");
  bad_sum[22] ^= 1;
  EXPECT_EQ(Parse(bad_sum).verdict, TIcmpVerdict::kUnrelated);

  Bytes udp = Ip(Echo(0, 0x1234, 7, kPayload), "10.1.2.3");
  udp[9] = 17;
  EXPECT_EQ(Parse(udp).verdict, TIcmpVerdict::kUnrelated);
}

TEST(IcmpPacketTest, ErrorsQuotingOurRequestMapToStatusCodes) {
  const Bytes request = Ip(Echo(8, 0x1234, 7, kPayload), "10.77.1.1");
  struct TCase {
    std::uint8_t type, code;
    std::uint32_t status;
  };
  const TCase cases[] = {
      {11, 0, 11013}, {11, 1, 11014}, {3, 0, 11002},  {3, 1, 11003}, {3, 2, 11004},
      {3, 3, 11005},  {3, 4, 11009},  {3, 5, 11012},  {3, 6, 11002}, {3, 7, 11003},
      {3, 10, 11003}, {3, 13, 11003}, {12, 0, 11015}, {4, 0, 11016},
  };
  for (const auto& c : cases) {
    const TIcmpParse p = Parse(Ip(Error(c.type, c.code, request), "10.77.1.254"));
    EXPECT_EQ(p.verdict, TIcmpVerdict::kError) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(p.status, c.status) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(p.source, ::inet_addr("10.77.1.254"));
  }
  // A router may quote only the first 8 bytes of the ICMP message.
  Bytes short_quote = request;
  short_quote.resize(28);
  EXPECT_EQ(Parse(Ip(Error(11, 0, short_quote), "10.77.1.254")).verdict, TIcmpVerdict::kError);
}

TEST(IcmpPacketTest, ErrorsAboutOtherRequestsAreUnrelated) {
  const Bytes cases[] = {
      Ip(Error(11, 0, Ip(Echo(8, 0x4321, 7, kPayload), "10.77.1.1")), "10.77.1.254"),
      Ip(Error(11, 0, Ip(Echo(8, 0x1234, 6, kPayload), "10.77.1.1")), "10.77.1.254"),
      Ip(Error(11, 0, Ip(Echo(0, 0x1234, 7, kPayload), "10.77.1.1")), "10.77.1.254"),
      Ip(Error(5, 0, Ip(Echo(8, 0x1234, 7, kPayload), "10.77.1.1")), "10.77.1.254"),
      // Identifier, sequence and payload are ours, but the quoted datagram
      // went to another host: someone copied them from our request.
      Ip(Error(3, 1, Ip(Echo(8, 0x1234, 7, kPayload), "10.77.1.1", 64, "10.77.2.77")), "10.77.2.1"),
      Ip(Error(11, 0, Ip(Echo(8, 0x1234, 7, kPayload), "10.77.1.1", 64, "0.0.0.0")), "10.77.1.254"),
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c).verdict, TIcmpVerdict::kUnrelated);
}

TEST(IcmpPacketTest, TruncatedAndMalformedInputIsUnrelated) {
  const Bytes full = Ip(Error(11, 0, Ip(Echo(8, 0x1234, 7, kPayload), "10.77.1.1")), "10.77.1.254");
  for (std::size_t n = 0; n < 56; ++n) {
    const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(Parse(cut).verdict, TIcmpVerdict::kUnrelated) << n;
  }
  Bytes bad_ihl = full;
  bad_ihl[0] = 0x4F;  // header longer than the packet
  EXPECT_EQ(Parse(bad_ihl).verdict, TIcmpVerdict::kUnrelated);
  Bytes v6 = full;
  v6[0] = 0x65;
  EXPECT_EQ(Parse(v6).verdict, TIcmpVerdict::kUnrelated);
}

TEST(IcmpPacketTest, ChecksumOfKnownData) {
  // RFC 1071's worked example: 0x0001 0xf203 0xf4f5 0xf6f7 sums to 0xddf2.
  const Bytes d = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  EXPECT_EQ(ntohs(InternetChecksum(d.data(), d.size())), 0x220d);
  Bytes odd = {0x01};
  EXPECT_EQ(ntohs(InternetChecksum(odd.data(), odd.size())), 0xFEFF);
}

}  // namespace
