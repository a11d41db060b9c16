// What the system says about echo permission, as bytes: the group range's
// text, a file's "security.capability" value and a /proc capability mask.
// No overread; a parsed range prints back to the same two numbers; a
// capability granted by a value is never granted by a shorter prefix of it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/EchoPermission.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string_view view(bytes);

  if (const auto range = platform::ParseGroupRange(view)) {
    const std::string again = std::to_string(range->low) + " " + std::to_string(range->high);
    const auto reparsed = platform::ParseGroupRange(again);
    if (!reparsed || reparsed->low != range->low || reparsed->high != range->high) std::abort();
  }

  for (int cap : {0, platform::kCapNetRaw, 31, 32, 40, 63, 64, -1}) {
    if (platform::FileCapabilityGrants(view, cap)) {
      if (size < 12 || cap < 0 || cap >= 64) std::abort();
      // The magic word and the sets must all be there: a value cut short of
      // its revision's length grants nothing.
      if (platform::FileCapabilityGrants(view.substr(0, 11), cap)) std::abort();
    }
    platform::CapabilityMaskHas(view, cap);
  }
  return 0;
}
