// Whatever arrives on an echo socket: the parser must never read outside the
// message, and a verdict must point inside it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/IcmpPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  // Header of the input: mode, identifier, sequence, payload length,
  // destination (IPv4); with mode bit 4, the IPv6 destination follows.
  const bool ip_header = data[0] & 1;
  platform::TEchoRequestKey key;
  key.check_id = data[0] & 2;
  key.ip6 = data[0] & 4;
  std::memcpy(&key.id, data + 1, 2);
  std::memcpy(&key.seq, data + 3, 2);
  const std::size_t payload_size = data[5];
  std::memcpy(&key.destination, data + 6, 4);
  data += 10;
  size -= 10;
  if (key.ip6) {
    if (size < 16) return 0;
    std::memcpy(key.destination6.data(), data, 16);
    data += 16;
    size -= 16;
  }
  if (payload_size > size) return 0;
  key.payload = data;
  key.payload_size = payload_size;
  const std::uint8_t* packet = data + payload_size;
  const std::size_t packet_size = size - payload_size;

  // A copy of exactly the right size, so the sanitizer sees any overread.
  std::uint8_t* copy = static_cast<std::uint8_t*>(std::malloc(packet_size ? packet_size : 1));
  if (packet_size) std::memcpy(copy, packet, packet_size);
  const platform::TIcmpParse p = platform::ParseIcmpPacket(copy, packet_size, ip_header, key);
  if (p.verdict == platform::TIcmpVerdict::kEchoReply) {
    if (p.data_offset + p.data_size > packet_size) std::abort();
    if (p.data_size != payload_size) std::abort();
    if (payload_size && std::memcmp(copy + p.data_offset, key.payload, payload_size) != 0)
      std::abort();
  }
  if (p.verdict == platform::TIcmpVerdict::kError && (p.status < 11001 || p.status > 11050))
    std::abort();
  // An error counts only for a datagram quoted as sent to the destination.
  // (ICMPv6 sockets never hand an IP header over.)
  if (p.verdict == platform::TIcmpVerdict::kError && key.ip6) {
    if (std::memcmp(copy + 8 + 24, key.destination6.data(), 16) != 0) std::abort();
    if (p.status != platform::Icmp6ErrorStatus(copy[0], copy[1])) std::abort();
  } else if (p.verdict == platform::TIcmpVerdict::kError) {
    const std::size_t outer = ip_header ? static_cast<std::size_t>(copy[0] & 0x0F) * 4 : 0;
    if (std::memcmp(copy + outer + 8 + 16, &key.destination, 4) != 0) std::abort();
  }
  platform::QuotesRequest(copy, packet_size, key);
  std::free(copy);
  return 0;
}
