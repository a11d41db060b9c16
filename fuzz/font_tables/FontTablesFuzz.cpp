// Any bytes as a TrueType file whose line metrics the program patches before
// registering it, and as a face's grid-fitting table: the patch keeps the
// file's size, and nothing is read or written outside the input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QByteArray>

#include "toolkit/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy the size of the input, so that the sanitizer sees any read or
  // write past its end.
  QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QByteArray before = file;
  UseWindowsLineMetrics(file);
  if (file.size() != before.size()) std::abort();
  const int ppem = size > 0 ? data[0] : 0;
  GaspAllowsGrey(before, ppem);
  GaspAllowsGrey(before, -ppem);
  return 0;
}
