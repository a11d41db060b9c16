// An IPv6 address as the echo and lookup calls pass it: the 16 bytes in
// network order and the scope a link-local address needs to name its link.
#pragma once

#include <array>
#include <cstdint>

namespace platform {

struct TIp6Address {
  std::array<std::uint8_t, 16> bytes{};
  // The interface index of a scoped (link-local) address; 0 for none.
  std::uint32_t scope_id = 0;
  bool operator==(const TIp6Address&) const = default;
};

}  // namespace platform
