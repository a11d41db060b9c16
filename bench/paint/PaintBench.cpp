// The skin painter's hot loops against a plain copy of the same bitmap, which
// is as fast as memory allows. Figures are pixels per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "skin/SkinPaint.h"
#include "toolkit/Graphics.h"

namespace {

std::unique_ptr<TBitmap> Pattern(int w, int h) {
  auto b = std::make_unique<TBitmap>(w, h);
  TsPixelView v = PixelsOf(*b);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) StorePixel(v.At(x, y), RGB(x * 7, y * 5, (x ^ y) & 0xFF));
  return b;
}

// A master-bitmap-like image: three 45 × 42 frames with their masks below,
// rounded corners keyed out.
std::unique_ptr<TBitmap> MaskImage() {
  auto b = Pattern(135, 84);
  TsPixelView v = PixelsOf(*b);
  for (int y = 42; y < 84; ++y)
    for (int x = 0; x < 135; ++x) StorePixel(v.At(x, y), RGB(x * 2, x * 2, x * 2));
  for (int f = 0; f < 3; ++f) {
    StorePixel(v.At(f * 45, 0), kTransparentKey);
    StorePixel(v.At(f * 45 + 44, 41), kTransparentKey);
  }
  return b;
}

void SetPixels(benchmark::State& state, int w, int h) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(w) * h);
}

void Copy(benchmark::State& state, int w, int h) {
  auto src = Pattern(w, h);
  TBitmap dst(w, h);
  for (auto _ : state) {
    CopyPixels(PixelsOf(dst), {0, 0}, SourcePixelsOf(*src), Rect(0, 0, w, h));
    benchmark::ClobberMemory();
  }
  SetPixels(state, w, h);
}

void BM_Copy_429x261(benchmark::State& state) {
  Copy(state, 429, 261);
}
void BM_Copy_431x73(benchmark::State& state) {
  Copy(state, 431, 73);
}
void BM_Copy_431x503(benchmark::State& state) {
  Copy(state, 431, 503);
}

// "EDIT": one frame, stretched edges, borders of 5, no centre.
void BM_BorderMask_Edit_429x261(benchmark::State& state) {
  auto image = MaskImage();
  auto parent = Pattern(431, 263);
  TBitmap dst(429, 261);
  const TsImagePiece mask{
      SourcePixelsOf(*image), Rect(0, 0, 45, 42), 1, 0, kDrawStretch, 5, 5, 5, 5};
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(*parent), 1, 1);
  for (auto _ : state) {
    DrawBorderMask(PixelsOf(dst), Rect(0, 0, 429, 261), mask, 0, true, back);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 429, 261);
}

// The worst case: a mask with a mask part and the centre filled, so every
// pixel goes through the mask blend.
void BM_BorderMask_MaskedFilled_429x261(benchmark::State& state) {
  auto image = MaskImage();
  auto parent = Pattern(431, 263);
  TBitmap dst(429, 261);
  const TsImagePiece mask{
      SourcePixelsOf(*image), Rect(0, 0, 135, 84), 3, 1, kDrawCentre, 8, 8, 8, 8};
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(*parent), 1, 1);
  for (auto _ : state) {
    DrawBorderMask(PixelsOf(dst), Rect(0, 0, 429, 261), mask, 1, true, back);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 429, 261);
}

// The internal skin's "PANEL" gradient over the top band of the main window.
void BM_Gradient_Panel_431x73(benchmark::State& state) {
  TBitmap dst(431, 73);
  const std::vector<TsGradientBand> panel = {
      {6646376, 6646376, 66, 0}, {6646376, 5790301, 34, 0}, {5790301, 5790301, 0, 0}};
  for (auto _ : state) {
    PaintGradient(PixelsOf(dst), Rect(0, 0, 431, 73), panel);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 431, 73);
}

void BM_Gradient_Horizontal_431x73(benchmark::State& state) {
  TBitmap dst(431, 73);
  const std::vector<TsGradientBand> bands = {{0x000000, 0xFFFFFF, 50, 1},
                                             {0xFFFFFF, 0x0000FF, 50, 1}};
  for (auto _ : state) {
    PaintGradient(PixelsOf(dst), Rect(0, 0, 431, 73), bands);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 431, 73);
}

void BM_Gradient_Mesh_431x73(benchmark::State& state) {
  TBitmap dst(431, 73);
  for (auto _ : state) {
    PaintMeshGradient(PixelsOf(dst), Rect(0, 0, 431, 73), 0x0000FF, 0xFFFFFF, 0x00FF00, 0xFF0000,
                      0x808080);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 431, 73);
}

void Transparency17(benchmark::State& state, bool gradient) {
  auto parent = Pattern(431, 503);
  TBitmap dst(431, 503);
  TsLook look;
  look.color = 0x464646;
  look.transparency = 17;
  if (gradient) {
    look.gradient_percent = 100;
    look.gradient = {{6646376, 6646376, 66, 0}, {6646376, 5790301, 34, 0}};
  }
  const TsBackground back = TsBackground::FromBitmap(SourcePixelsOf(*parent), 0, 0);
  for (auto _ : state) {
    PaintSectionBackground(PixelsOf(dst), Rect(0, 0, 431, 503), look, back);
    benchmark::ClobberMemory();
  }
  SetPixels(state, 431, 503);
}

void BM_Transparency17_Colour_431x503(benchmark::State& state) {
  Transparency17(state, false);
}
void BM_Transparency17_Gradient_431x503(benchmark::State& state) {
  Transparency17(state, true);
}

// The same look over the cache itself needs the scratch image.
void BM_Transparency17_OverItself_431x503(benchmark::State& state) {
  TBitmap dst(431, 503);
  TsLook look;
  look.color = 0x464646;
  look.transparency = 17;
  for (auto _ : state) {
    PaintSectionBackground(PixelsOf(dst), Rect(0, 0, 431, 503), look,
                           TsBackground::FromBitmap(SourcePixelsOf(dst), 0, 0));
    benchmark::ClobberMemory();
  }
  SetPixels(state, 431, 503);
}

}  // namespace

BENCHMARK(BM_Copy_429x261);
BENCHMARK(BM_BorderMask_Edit_429x261);
BENCHMARK(BM_BorderMask_MaskedFilled_429x261);
BENCHMARK(BM_Copy_431x73);
BENCHMARK(BM_Gradient_Panel_431x73);
BENCHMARK(BM_Gradient_Horizontal_431x73);
BENCHMARK(BM_Gradient_Mesh_431x73);
BENCHMARK(BM_Copy_431x503);
BENCHMARK(BM_Transparency17_Colour_431x503);
BENCHMARK(BM_Transparency17_Gradient_431x503);
BENCHMARK(BM_Transparency17_OverItself_431x503);
