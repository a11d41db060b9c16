// The program's own icon for its windows, in the sizes window managers ask
// for: 32-bit ARGB pixels (QImage::Format_ARGB32), rows top to bottom. The
// build renders them from data/icons/sonarix.svg.
#pragma once

#include <cstdint>

struct TProgramIconImage {
  int size;  // width and height
  const std::uint32_t* argb;
};

extern const TProgramIconImage kProgramIconImages[];
extern const int kProgramIconImageCount;
