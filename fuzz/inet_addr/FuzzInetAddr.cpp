// Typed host text through the dotted-address parser: no overread, and every
// address it accepts renders to a dotted text that parses back to it.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Sockets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  text = text.c_str();  // up to the first NUL, as a C string ends
  const platform::u_long a = platform::inet_addr(text.c_str());
  if (a == platform::kInaddrNone) return 0;
  const std::string dotted = platform::inet_ntoa(a);
  if (platform::inet_addr(dotted.c_str()) != a) std::abort();
  // The C library's inet_aton agrees on what it accepts.
  in_addr libc{};
  if (::inet_aton(text.c_str(), &libc) == 0 || libc.s_addr != a) std::abort();
  return 0;
}
