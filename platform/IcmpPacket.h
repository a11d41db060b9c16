// Reading ICMP messages that arrive on an echo socket: is this the reply to
// our request, an error that quotes our request, or someone else's packet?
// Kept apart from the socket code because everything here is outside data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// IP status codes (base 11000) of the echo call.
constexpr std::uint32_t IP_SUCCESS = 0;
constexpr std::uint32_t IP_BUF_TOO_SMALL = 11001;
constexpr std::uint32_t IP_DEST_NET_UNREACHABLE = 11002;
constexpr std::uint32_t IP_DEST_HOST_UNREACHABLE = 11003;
constexpr std::uint32_t IP_DEST_PROT_UNREACHABLE = 11004;
constexpr std::uint32_t IP_DEST_PORT_UNREACHABLE = 11005;
constexpr std::uint32_t IP_NO_RESOURCES = 11006;
constexpr std::uint32_t IP_BAD_OPTION = 11007;
constexpr std::uint32_t IP_HW_ERROR = 11008;
constexpr std::uint32_t IP_PACKET_TOO_BIG = 11009;
constexpr std::uint32_t IP_REQ_TIMED_OUT = 11010;
constexpr std::uint32_t IP_BAD_REQ = 11011;
constexpr std::uint32_t IP_BAD_ROUTE = 11012;
constexpr std::uint32_t IP_TTL_EXPIRED_TRANSIT = 11013;
constexpr std::uint32_t IP_TTL_EXPIRED_REASSEM = 11014;
constexpr std::uint32_t IP_PARAM_PROBLEM = 11015;
constexpr std::uint32_t IP_SOURCE_QUENCH = 11016;
constexpr std::uint32_t IP_OPTION_TOO_BIG = 11017;
constexpr std::uint32_t IP_BAD_DESTINATION = 11018;
constexpr std::uint32_t IP_ADDR_DELETED = 11019;
constexpr std::uint32_t IP_SPEC_MTU_CHANGE = 11020;
constexpr std::uint32_t IP_MTU_CHANGE = 11021;
constexpr std::uint32_t IP_GENERAL_FAILURE = 11050;
constexpr std::uint32_t IP_PENDING = 11255;

// ICMP message types that matter here.
constexpr std::uint8_t kIcmpEchoReply = 0;
constexpr std::uint8_t kIcmpDestUnreachable = 3;
constexpr std::uint8_t kIcmpSourceQuench = 4;
constexpr std::uint8_t kIcmpEchoRequest = 8;
constexpr std::uint8_t kIcmpTimeExceeded = 11;
constexpr std::uint8_t kIcmpParameterProblem = 12;

// ICMPv6 message types that matter here.
constexpr std::uint8_t kIcmp6DestUnreachable = 1;
constexpr std::uint8_t kIcmp6PacketTooBig = 2;
constexpr std::uint8_t kIcmp6TimeExceeded = 3;
constexpr std::uint8_t kIcmp6ParameterProblem = 4;
constexpr std::uint8_t kIcmp6EchoRequest = 128;
constexpr std::uint8_t kIcmp6EchoReply = 129;

// The request we wait for.
struct TEchoRequestKey {
  std::uint32_t destination = 0;  // network order: where the request went
  std::uint16_t id = 0;           // network order as sent
  std::uint16_t seq = 0;          // network order as sent
  bool check_id = true;           // a ping socket's identifier is the kernel's, not ours
  const std::uint8_t* payload = nullptr;
  std::size_t payload_size = 0;
  // An ICMPv6 request: `destination6` instead of `destination`.
  bool ip6 = false;
  std::array<std::uint8_t, 16> destination6{};
};

enum class TIcmpVerdict { kUnrelated, kEchoReply, kError };

struct TIcmpParse {
  TIcmpVerdict verdict = TIcmpVerdict::kUnrelated;
  std::uint32_t status = IP_SUCCESS;  // for kError: the IP status code
  std::uint32_t source = 0;           // sender, network order (only when an IP header was given)
  std::uint8_t ttl = 0;               // the reply's TTL (only when an IP header was given)
  std::size_t data_offset = 0;        // for kEchoReply: where the echoed data starts
  std::size_t data_size = 0;
};

// The IP status code for an ICMP error of `type` and `code`; IP_SUCCESS for
// a type that is not an error of an echo request (a redirect, say).
std::uint32_t IcmpErrorStatus(std::uint8_t type, std::uint8_t code);
// The same for ICMPv6.
std::uint32_t Icmp6ErrorStatus(std::uint8_t type, std::uint8_t code);

// Parses one message. With `ip_header` the data starts with the IPv4 header
// (raw sockets); without it, with the ICMP header (ping sockets, and every
// ICMPv6 socket, which never hands the IPv6 header over). An error counts
// only when the datagram it quotes went to the key's destination; who sent
// a reply is the caller's to check (`source`). Never reads outside
// [data, data + size).
TIcmpParse ParseIcmpPacket(const std::uint8_t* data, std::size_t size, bool ip_header,
                           const TEchoRequestKey& key);

// Whether `quoted` (an echo request's ICMP or ICMPv6 header and what
// followed it, as an error quotes it or the error queue hands it back) is
// our request.
bool QuotesRequest(const std::uint8_t* quoted, std::size_t size, const TEchoRequestKey& key);

// The Internet checksum (ones' complement sum) of a buffer.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

}  // namespace platform
