#include "scope/GrCursors.h"

#include <cstring>

namespace {

// 'X' black outline, 'o' white fill, '.' transparent; the tip of the index
// finger, top centre, is the hot spot (10, 5).
// clang-format off
constexpr const char* kHandRows[kGrHandPointSize] = {
    "................................",  //  0
    "................................",
    "................................",
    "................................",
    "................................",
    ".........XXX....................",  //  5
    "........XoooX...................",
    "........XoooX...................",
    "........XoooX...................",
    "........XoooX...................",
    "........XoooXXXX................",  // 10
    "........XoooXoooXXXX............",
    "........XoooXoooXoooXXXXX.......",
    "........XoooXoooXoooXoooX.......",
    "...XXXX.XoooXoooXoooXoooX.......",
    "...XoooXXoooooooooooooooX.......",  // 15
    "...XooooXoooooooooooooooX.......",
    "....XoooXoooooooooooooooX.......",
    ".....XooooooooooooooooooX.......",
    ".....XooooooooooooooooooX.......",
    "......XoooooooooooooooooX.......",  // 20
    "......XooooooooooooooooX........",
    ".......XoooooooooooooooX........",
    ".......XoooooooooooooooX........",
    "........XoooooooooooooX.........",
    "........XoooooooooooooX.........",  // 25
    "........XXXXXXXXXXXXXXX.........",
    "................................",
    "................................",
    "................................",
    "................................",  // 30
    "................................",
};
// clang-format on

}  // namespace

char GrHandPointCell(int x, int y) {
  if (x < 0 || y < 0 || x >= kGrHandPointSize || y >= kGrHandPointSize) return '.';
  const char* row = kHandRows[y];
  return static_cast<int>(std::strlen(row)) > x ? row[x] : '.';
}

QImage GrHandPointImage() {
  QImage image(kGrHandPointSize, kGrHandPointSize, QImage::Format_ARGB32);
  for (int y = 0; y < kGrHandPointSize; ++y)
    for (int x = 0; x < kGrHandPointSize; ++x) {
      const char c = GrHandPointCell(x, y);
      image.setPixel(x, y, c == 'X' ? 0xFF000000u : c == 'o' ? 0xFFFFFFFFu : 0x00000000u);
    }
  return image;
}
