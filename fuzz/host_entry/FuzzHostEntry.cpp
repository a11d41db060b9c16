// The lookup buffer's host entry. First byte even: the rest is a buffer to
// read, which must never be read outside and, when accepted, must pack back
// to an entry that reads the same. Odd: the rest describes an entry to pack
// into a buffer of a given size, which must never be written past and must
// read back equal (an entry of IPv6 addresses when the byte's bit 2 is set).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Sockets.h"

namespace {

using platform::THostEnt;

void CheckRoundTrip(const THostEnt& e) {
  const int need = platform::PackHostEnt(e, nullptr, 0);
  if (need < 0) return;
  std::vector<char> buf(static_cast<std::size_t>(need));
  if (platform::PackHostEnt(e, buf.data(), need) != need) std::abort();
  auto back = platform::ReadHostEnt(buf.data(), need);
  if (!back || !(*back == e)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool pack = data[0] & 1;
  const bool six = data[0] & 2;
  ++data;
  --size;
  if (!pack) {
    char* copy = static_cast<char*>(std::malloc(size ? size : 1));
    if (size) std::memcpy(copy, data, size);
    auto e = platform::ReadHostEnt(copy, static_cast<int>(size));
    std::free(copy);
    if (e) CheckRoundTrip(*e);
    return 0;
  }
  if (size < 2) return 0;
  // Buffer size, then NUL-separated texts (name, aliases...), with the
  // addresses taken four bytes at a time from the texts' bytes.
  const int length = (data[0] << 8 | data[1]) % 2048;
  THostEnt e;
  std::vector<std::string> texts(1);
  for (std::size_t i = 2; i < size; ++i) {
    if (data[i] == 0)
      texts.emplace_back();
    else
      texts.back().push_back(static_cast<char>(data[i]));
  }
  e.name = texts[0];
  e.aliases.assign(texts.begin() + 1, texts.end());
  for (std::size_t i = 2; !six && i + 4 <= size && e.addresses.size() < 8; i += 4) {
    platform::u_long a;
    std::memcpy(&a, data + i, 4);
    e.addresses.push_back(a);
  }
  for (std::size_t i = 2; six && i + 20 <= size && e.addresses6.size() < 8; i += 20) {
    platform::TIp6Address a;
    std::memcpy(a.bytes.data(), data + i, 16);
    std::memcpy(&a.scope_id, data + i + 16, 4);
    e.addresses6.push_back(a);
  }
  const int need = platform::PackHostEnt(e, nullptr, 0);
  std::vector<char> buf(static_cast<std::size_t>(length) + 16, '\x5A');
  const int got = platform::PackHostEnt(e, buf.data(), length);
  if (got != need) std::abort();
  if (need >= 0 && need <= length) {
    auto back = platform::ReadHostEnt(buf.data(), length);
    if (!back || !(*back == e)) std::abort();
    for (std::size_t i = static_cast<std::size_t>(need); i < buf.size(); ++i)
      if (buf[i] != '\x5A') std::abort();
  } else {
    for (char c : buf)
      if (c != '\x5A') std::abort();  // too small: untouched
  }
  return 0;
}
