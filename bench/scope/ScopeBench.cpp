// One paint of the main window's scope (429 x 98, grid 8, frequency 8) with
// a full history, and one sampling tick with one channel.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "scope/GrScope.h"

namespace {

struct TBenchScope {
  TGrScope scope{nullptr};
  int next = 0;
  TBenchScope() {
    scope.SetBounds(0, 0, 429, 98);
    scope.SetMaxValue(75);
    scope.SetGridSize(8);
    scope.SetFrequency(8);
    scope.SetBaseOffset(10);
    scope.Channels().Add()->SetStyle(TGraphStyle::gsBar);
    scope.SetOnNeedData(
        TGrNeedDataEvent([this](TObject*, int, int& v) { v = (next++ * 37) % 80; }));
    for (int i = 0; i < 1000; ++i) scope.TimerTick(nullptr);
  }
};

void BM_ScopePaintFullHistory(benchmark::State& state) {
  TBenchScope b;
  QImage surface(429, 98, QImage::Format_RGB32);
  QPainter painter(&surface);
  for (auto _ : state) {
    b.scope.Perform(WM_PAINT, reinterpret_cast<std::uintptr_t>(&painter));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ScopePaintFullHistory);

// A tick stores the sample and asks for a redraw; without a window the
// redraw request paints nothing, so this is the data side of a tick.
void BM_ScopeTickOneChannel(benchmark::State& state) {
  TBenchScope b;
  for (auto _ : state) b.scope.TimerTick(nullptr);
}
BENCHMARK(BM_ScopeTickOneChannel);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
