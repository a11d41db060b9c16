// Any text as a mask value: parsed or refused with a conversion error, and a
// parsed mask never has zero frames or a negative rectangle.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "skin/sSkinModel.h"
#include "toolkit/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string value(reinterpret_cast<const char*>(data), size);
  try {
    MaskRecord m;
    if (ParseMaskValue(value, m)) {
      if (m.ImageCount < 1 || m.MaskType < 0 || m.SourceRect.Width() < 0 ||
          m.SourceRect.Height() < 0) {
        std::abort();
      }
      (void)m.FrameWidth();
      (void)m.FrameHeight();
    }
  } catch (const EConvertError&) {
    // A refused value is an allowed outcome; only a crash or a bad record is a fault.
  }
  try {
    TsExternalMask e;
    if (ParseExternalMask(value, e) && (e.ImageCount < 1 || e.MaskType < 0)) std::abort();
  } catch (const EConvertError&) {
    // Likewise for the external mask.
  }
  ParseGradient(value);
  return 0;
}
