// The scope family's cursor: a 32 x 32 two-colour pointing hand, kept as
// data in code and registered at start-up as cursor crGrHandPoint (99)
// under the resource name "GRCURSORHANDPOINT".
#pragma once

#include <QImage>

inline constexpr int crGrHandPoint = 99;
inline constexpr const char* kGrHandPointName = "GRCURSORHANDPOINT";
inline constexpr int kGrHandPointSize = 32;
inline constexpr int kGrHandPointHotX = 10;
inline constexpr int kGrHandPointHotY = 5;

// 'X' black, 'o' white, '.' transparent.
char GrHandPointCell(int x, int y);
// The hand as an image: opaque black and white, transparent elsewhere.
QImage GrHandPointImage();
