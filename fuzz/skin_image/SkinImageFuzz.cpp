// Any bytes as a skin image (a bitmap, or a JPEG picture pattern): decoded
// or refused, never read beyond the data.
#include <cstdint>
#include <cstdlib>

#include "skin/sImages.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TsPixels p;
  if (DecodeBmp(data, size, p)) {
    if (p.Width <= 0 || p.Height <= 0 ||
        p.Bgr.size() != static_cast<std::size_t>(p.Width) * p.Height * 3) {
      std::abort();
    }
  }
  if (DecodeJpeg(data, size, p)) {
    if (p.Bgr.size() != static_cast<std::size_t>(p.Width) * p.Height * 3) std::abort();
  }
  return 0;
}
