#include "platform/IcmpPacket.h"

#include <cstring>

namespace platform {

namespace {

std::uint16_t Read16(const std::uint8_t* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Length of a plausible IPv4 header at `p`, or 0.
std::size_t IpHeaderLength(const std::uint8_t* p, std::size_t size) {
  if (size < 20 || (p[0] >> 4) != 4) return 0;
  const std::size_t ihl = static_cast<std::size_t>(p[0] & 0x0F) * 4;
  if (ihl < 20 || ihl > size) return 0;
  return ihl;
}

constexpr std::size_t kIp6HeaderLength = 40;
constexpr std::uint8_t kNextHeaderIcmp6 = 58;

// Where the ICMP message starts in the datagram an error quotes, when that
// datagram is an ICMP message we could have sent to the key's destination;
// 0 otherwise. Identifier, sequence and payload can be copied from a
// request seen on the way; the request we sent went to one host only.
std::size_t QuotedIcmpOffset(const std::uint8_t* inner, std::size_t size,
                             const TEchoRequestKey& key) {
  if (key.ip6) {
    // We send no extension headers: ICMPv6 follows the fixed header.
    if (size < kIp6HeaderLength || (inner[0] >> 4) != 6 || inner[6] != kNextHeaderIcmp6) return 0;
    if (std::memcmp(inner + 24, key.destination6.data(), 16) != 0) return 0;
    return kIp6HeaderLength;
  }
  const std::size_t ihl = IpHeaderLength(inner, size);
  if (ihl == 0 || inner[9] != 1) return 0;
  if (std::memcmp(inner + 16, &key.destination, 4) != 0) return 0;
  return ihl;
}

}  // namespace

std::uint32_t IcmpErrorStatus(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case kIcmpDestUnreachable:
      switch (code) {
        case 0:   // network
        case 6:   // network unknown
        case 9:   // network administratively prohibited
        case 11:  // network for type of service
          return IP_DEST_NET_UNREACHABLE;
        case 2:
          return IP_DEST_PROT_UNREACHABLE;
        case 3:
          return IP_DEST_PORT_UNREACHABLE;
        case 4:
          return IP_PACKET_TOO_BIG;
        case 5:
          return IP_BAD_ROUTE;
        default:  // host, host unknown, host prohibited, ...
          return IP_DEST_HOST_UNREACHABLE;
      }
    case kIcmpTimeExceeded:
      return code == 1 ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
    case kIcmpParameterProblem:
      return IP_PARAM_PROBLEM;
    case kIcmpSourceQuench:
      return IP_SOURCE_QUENCH;
    default:
      return IP_SUCCESS;
  }
}

std::uint32_t Icmp6ErrorStatus(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case kIcmp6DestUnreachable:
      switch (code) {
        case 0:  // no route
        case 2:  // beyond the scope of the source address
        case 6:  // reject route
          return IP_DEST_NET_UNREACHABLE;
        case 4:
          return IP_DEST_PORT_UNREACHABLE;
        default:  // address unreachable, administratively prohibited, policy
          return IP_DEST_HOST_UNREACHABLE;
      }
    case kIcmp6PacketTooBig:
      return IP_PACKET_TOO_BIG;
    case kIcmp6TimeExceeded:
      return code == 1 ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
    case kIcmp6ParameterProblem:
      return IP_PARAM_PROBLEM;
    default:
      return IP_SUCCESS;
  }
}

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < size; i += 2) sum += Read16(data + i);
  if (i < size) {
    std::uint16_t last = 0;
    std::memcpy(&last, data + i, 1);
    sum += last;
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum);
}

bool QuotesRequest(const std::uint8_t* quoted, std::size_t size, const TEchoRequestKey& key) {
  // Routers quote at least the first 8 bytes of our ICMP message.
  const std::uint8_t request = key.ip6 ? kIcmp6EchoRequest : kIcmpEchoRequest;
  if (size < 8 || quoted[0] != request || quoted[1] != 0) return false;
  if (key.check_id && Read16(quoted + 4) != key.id) return false;
  if (Read16(quoted + 6) != key.seq) return false;
  // Whatever more of the payload is quoted must be ours too.
  const std::size_t quoted_payload = size - 8;
  const std::size_t n = quoted_payload < key.payload_size ? quoted_payload : key.payload_size;
  return n == 0 || std::memcmp(quoted + 8, key.payload, n) == 0;
}

TIcmpParse ParseIcmpPacket(const std::uint8_t* data, std::size_t size, bool ip_header,
                           const TEchoRequestKey& key) {
  TIcmpParse out;
  std::size_t offset = 0;
  if (ip_header && !key.ip6) {
    offset = IpHeaderLength(data, size);
    if (offset == 0 || data[9] != 1 /* ICMP */) return out;
    std::memcpy(&out.source, data + 12, 4);
    out.ttl = data[8];
    // Trust the header's total length when it is shorter than what arrived.
    const std::size_t total = (static_cast<std::size_t>(data[2]) << 8) | data[3];
    if (total >= offset && total < size) size = total;
  }
  if (size - offset < 8) return out;
  const std::uint8_t* icmp = data + offset;
  const std::size_t icmp_size = size - offset;
  const std::uint8_t type = icmp[0];

  if (type == (key.ip6 ? kIcmp6EchoReply : kIcmpEchoReply)) {
    if (icmp[1] != 0) return out;
    if (key.check_id && Read16(icmp + 4) != key.id) return out;
    if (Read16(icmp + 6) != key.seq) return out;
    if (icmp_size - 8 != key.payload_size) return out;
    if (key.payload_size && std::memcmp(icmp + 8, key.payload, key.payload_size) != 0) return out;
    // A raw socket sees the message as it came off the wire (the kernel has
    // checked an ICMPv6 one, whose sum covers the IPv6 header too).
    if (ip_header && !key.ip6 && InternetChecksum(icmp, icmp_size) != 0) return out;
    out.verdict = TIcmpVerdict::kEchoReply;
    out.data_offset = offset + 8;
    out.data_size = key.payload_size;
    return out;
  }

  const std::uint32_t status =
      key.ip6 ? Icmp6ErrorStatus(type, icmp[1]) : IcmpErrorStatus(type, icmp[1]);
  if (status == IP_SUCCESS) return out;
  // An error quotes the offending datagram: its IP header, then at least the
  // first 8 bytes of our ICMP message.
  const std::uint8_t* inner = icmp + 8;
  const std::size_t inner_size = icmp_size - 8;
  const std::size_t quoted = QuotedIcmpOffset(inner, inner_size, key);
  if (quoted == 0) return out;
  if (!QuotesRequest(inner + quoted, inner_size - quoted, key)) return out;
  out.verdict = TIcmpVerdict::kError;
  out.status = status;
  return out;
}

}  // namespace platform
