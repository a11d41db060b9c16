#include <sys/socket.h>

#include <cstring>

#include "platform/Sockets.h"

namespace platform {

namespace {

constexpr std::size_t kHeader = 16;
// Address type and length of the two families, and the bytes an address
// takes in the buffer (an IPv6 one is followed by its scope).
constexpr std::uint16_t kTypeIp4 = 2, kLengthIp4 = 4;
constexpr std::uint16_t kTypeIp6 = AF_INET6, kLengthIp6 = 16;
constexpr std::size_t kSlotIp6 = 16 + 4;

void Put32(char* p, std::uint32_t v) {
  std::memcpy(p, &v, 4);
}
std::uint32_t Get32(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

bool Packable(const std::string& s) {
  return s.find('\0') == std::string::npos;
}

// A NUL-terminated text at `offset`, inside the buffer.
std::optional<std::string> TextAt(const char* buffer, std::size_t length, std::uint32_t offset) {
  if (offset < kHeader || offset >= length) return std::nullopt;
  const void* end = std::memchr(buffer + offset, '\0', length - offset);
  if (!end) return std::nullopt;
  return std::string(buffer + offset, static_cast<const char*>(end));
}

// A 0-terminated list of offsets at `offset`.
std::optional<std::vector<std::uint32_t>> ListAt(const char* buffer, std::size_t length,
                                                 std::uint32_t offset) {
  std::vector<std::uint32_t> items;
  if (offset < kHeader) return std::nullopt;
  for (std::size_t at = offset;; at += 4) {
    if (at + 4 > length) return std::nullopt;
    const std::uint32_t item = Get32(buffer + at);
    if (item == 0) return items;
    items.push_back(item);
  }
}

}  // namespace

int PackHostEnt(const THostEnt& entry, char* buffer, int length) {
  const bool ip6 = entry.addresses.empty();
  const std::size_t count = ip6 ? entry.addresses6.size() : entry.addresses.size();
  const std::size_t slot = ip6 ? kSlotIp6 : 4;
  if (count == 0 || (!ip6 && !entry.addresses6.empty()) || !Packable(entry.name)) return -1;
  std::size_t need = kHeader + 4 * (entry.aliases.size() + 1) + 4 * (count + 1) + slot * count +
                     entry.name.size() + 1;
  for (const auto& alias : entry.aliases) {
    if (!Packable(alias)) return -1;
    need += alias.size() + 1;
  }
  if (need > 0x7FFFFFFF) return -1;
  if (buffer == nullptr || length < 0 || need > static_cast<std::size_t>(length))
    return static_cast<int>(need);

  std::memset(buffer, 0, need);
  std::size_t aliases = kHeader;
  std::size_t addr_list = aliases + 4 * (entry.aliases.size() + 1);
  std::size_t addrs = addr_list + 4 * (count + 1);
  std::size_t text = addrs + slot * count;
  auto put_text = [&](const std::string& s) {
    const std::size_t at = text;
    std::memcpy(buffer + text, s.c_str(), s.size() + 1);
    text += s.size() + 1;
    return static_cast<std::uint32_t>(at);
  };
  Put32(buffer + 0, put_text(entry.name));
  Put32(buffer + 4, static_cast<std::uint32_t>(aliases));
  const std::uint16_t type = ip6 ? kTypeIp6 : kTypeIp4, size = ip6 ? kLengthIp6 : kLengthIp4;
  std::memcpy(buffer + 8, &type, 2);
  std::memcpy(buffer + 10, &size, 2);
  Put32(buffer + 12, static_cast<std::uint32_t>(addr_list));
  for (std::size_t i = 0; i < entry.aliases.size(); ++i)
    Put32(buffer + aliases + 4 * i, put_text(entry.aliases[i]));
  for (std::size_t i = 0; i < count; ++i) {
    char* at = buffer + addrs + slot * i;
    Put32(buffer + addr_list + 4 * i, static_cast<std::uint32_t>(addrs + slot * i));
    if (ip6) {
      std::memcpy(at, entry.addresses6[i].bytes.data(), 16);
      Put32(at + 16, entry.addresses6[i].scope_id);
    } else {
      std::memcpy(at, &entry.addresses[i], 4);
    }
  }
  return static_cast<int>(need);
}

std::optional<THostEnt> ReadHostEnt(const char* buffer, int length) {
  if (buffer == nullptr || length < static_cast<int>(kHeader)) return std::nullopt;
  const std::size_t len = static_cast<std::size_t>(length);
  std::uint16_t type, size;
  std::memcpy(&type, buffer + 8, 2);
  std::memcpy(&size, buffer + 10, 2);
  const bool ip6 = type == kTypeIp6 && size == kLengthIp6;
  if (!ip6 && (type != kTypeIp4 || size != kLengthIp4)) return std::nullopt;
  const std::size_t slot = ip6 ? kSlotIp6 : 4;
  THostEnt entry;
  auto name = TextAt(buffer, len, Get32(buffer + 0));
  auto aliases = ListAt(buffer, len, Get32(buffer + 4));
  auto addr_list = ListAt(buffer, len, Get32(buffer + 12));
  if (!name || !aliases || !addr_list || addr_list->empty()) return std::nullopt;
  entry.name = *name;
  for (std::uint32_t at : *aliases) {
    auto alias = TextAt(buffer, len, at);
    if (!alias) return std::nullopt;
    entry.aliases.push_back(*alias);
  }
  for (std::uint32_t at : *addr_list) {
    if (at < kHeader || static_cast<std::size_t>(at) + slot > len) return std::nullopt;
    if (ip6) {
      TIp6Address addr;
      std::memcpy(addr.bytes.data(), buffer + at, 16);
      addr.scope_id = Get32(buffer + at + 16);
      entry.addresses6.push_back(addr);
    } else {
      u_long addr;
      std::memcpy(&addr, buffer + at, 4);
      entry.addresses.push_back(addr);
    }
  }
  return entry;
}

}  // namespace platform
