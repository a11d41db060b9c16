// Skin gradients: vertical and horizontal bands, and the mesh of four shaded
// triangles, each filled by our own rasteriser with colours interpolated
// from its corners.
#pragma once

#include <vector>

#include "skin/Blend.h"

// One band of a gradient; the mode of the first step decides the kind.
struct TsGradientBand {
  TColor color1 = 0;
  TColor color2 = 0;
  int percent = 0;
  int mode = 0;
};

enum TsGradientMode : int { gmVertical = 0, gmHorizontal = 1, gmMesh = 2 };

// Paints the gradient into `rect`; the bands are laid out over the whole
// rectangle and then clipped to the view. No bands: nothing is painted.
void PaintGradient(TsPixelView dst, const TRect& rect, const TsGradientBand* bands, int count);
inline void PaintGradient(TsPixelView dst, const TRect& rect,
                          const std::vector<TsGradientBand>& bands) {
  PaintGradient(dst, rect, bands.data(), static_cast<int>(bands.size()));
}

// Converts any list of gradient steps with Color1, Color2, Percent and Mode.
template <class Steps>
std::vector<TsGradientBand> GradientBandsOf(const Steps& steps) {
  std::vector<TsGradientBand> bands;
  bands.reserve(steps.size());
  for (const auto& s : steps) {
    bands.push_back({static_cast<TColor>(s.Color1), static_cast<TColor>(s.Color2),
                     static_cast<int>(s.Percent), static_cast<int>(s.Mode)});
  }
  return bands;
}

// A vertex of a shaded triangle: a pixel corner and its colour.
struct TsMeshVertex {
  int x = 0;
  int y = 0;
  TColor color = 0;
};

// Fills one triangle, colours interpolated linearly between its vertices.
// A pixel is painted when its centre lies inside; centres on a shared edge
// belong to exactly one of the triangles (top-left rule), so a mesh of
// triangles paints every pixel once.
void FillShadedTriangle(TsPixelView dst, const TRect& clip, const TsMeshVertex& a,
                        const TsMeshVertex& b, const TsMeshVertex& c);

// The mesh of four triangles over five vertices (corners and centre).
void PaintMeshGradient(TsPixelView dst, const TRect& rect, TColor top_left, TColor centre,
                       TColor top_right, TColor bottom_right, TColor bottom_left);
