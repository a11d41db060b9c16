#include "platform/MulDiv.h"

#include <cstdint>
#include <limits>

namespace platform {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  std::int64_t divisor = denominator;
  if (divisor < 0) {
    product = -product;
    divisor = -divisor;
  }
  // Round half away from zero: add (or take away) half the divisor first.
  const std::int64_t half = divisor / 2;
  const std::int64_t q = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
  if (q > std::numeric_limits<int>::max() || q < -std::numeric_limits<int>::max()) return -1;
  return static_cast<int>(q);
}

}  // namespace platform
