// Typed host text through the IPv6 literal parser: no overread, and every
// address it accepts renders to a text that parses back to it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Sockets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first NUL, as a C string ends
  platform::TIp6Address a;
  if (!platform::ParseIp6Literal(text.c_str(), a)) return 0;
  const std::string canonical = platform::Ip6Text(a);
  platform::TIp6Address back;
  if (!platform::ParseIp6Literal(canonical.c_str(), back) || !(back == a)) std::abort();
  // The canonical text is its own canonical text.
  if (platform::Ip6Text(back) != canonical) std::abort();
  return 0;
}
