// Reading the internal skin's archive and building its model (goal: a median
// of at most 5 ms), and the parts of it on their own.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "skin/MemIniFile.h"
#include "skin/SteamSkin.h"
#include "skin/sSkinArchive.h"
#include "skin/sSkinModel.h"

namespace {
void BM_ReadArchiveAndBuildModel(benchmark::State& state) {
  for (auto _ : state) {
    TsSkinArchive archive;
    archive.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
    TMemIniFile options(std::string_view(reinterpret_cast<const char*>(archive.Options().data()),
                                         archive.Options().size()));
    TsModelSource source;
    source.Options = &options;
    source.Archive = &archive;
    TsSkinModel model;
    model.Build(source);
    benchmark::DoNotOptimize(model.Sections().data());
  }
}
BENCHMARK(BM_ReadArchiveAndBuildModel)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

void BM_ReadArchive(benchmark::State& state) {
  for (auto _ : state) {
    TsSkinArchive archive;
    archive.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
    benchmark::DoNotOptimize(archive.Images().data());
  }
}
BENCHMARK(BM_ReadArchive)->Unit(benchmark::kMicrosecond);

void BM_BuildModel(benchmark::State& state) {
  TsSkinArchive archive;
  archive.LoadFromMemory(kSteamSkinData, kSteamSkinDataSize, nullptr);
  TMemIniFile options(std::string_view(reinterpret_cast<const char*>(archive.Options().data()),
                                       archive.Options().size()));
  TsModelSource source;
  source.Options = &options;
  source.Archive = &archive;
  for (auto _ : state) {
    TsSkinModel model;
    model.Build(source);
    benchmark::DoNotOptimize(model.Masks().data());
  }
}
BENCHMARK(BM_BuildModel)->Unit(benchmark::kMicrosecond);
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
