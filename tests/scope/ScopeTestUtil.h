// Helpers for painting a scope off screen and reading its image bitmap.
#pragma once

#include <QImage>
#include <QPainter>
#include <deque>

#include "scope/GrScope.h"

// Paints `scope` through its paint message onto an off-screen surface.
inline void PaintScope(TGrScope& scope) {
  QImage surface(std::max(1, scope.Width()), std::max(1, scope.Height()), QImage::Format_RGB32);
  QPainter painter(&surface);
  scope.Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(&painter));
}

inline TColor ImagePixel(TGrScope& scope, int x, int y) {
  return scope.ImageBitmap().Canvas().Pixel(x, y);
}

// Feeds the values of `queue` (front first) to OnNeedData, one per call.
struct TFeed {
  std::deque<int> queue;
  int calls = 0;
  void NeedData(TObject*, int, int& value) {
    ++calls;
    if (!queue.empty()) {
      value = queue.front();
      queue.pop_front();
    }
  }
};
