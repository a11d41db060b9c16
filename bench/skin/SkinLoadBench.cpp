// Reading the internal skin's archive and building its model (goal: a median
// of at most 5 ms), and the parts of it on their own.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <string>

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

// An options text of N sections, each the parent class of the next, the
// first giving a colour, a hot transparency and a border mask: building the
// model and looking the mask up from the deepest section. The time grows in
// proportion to N (the complexity fit says so); it once grew with N squared.
void BM_DeepParentChain(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string text =
      "[S0]\r\nCOLOR=111\r\nHOTTRANSPARENCY=40\r\n"
      "BORDERSMASK=^0000^0000^0010^0010^0001^0001^0001^0001^1^0^1^1\r\n";
  for (int i = 1; i < n; ++i)
    text += "[S" + std::to_string(i) + "]\r\nPARENTCLASS=S" + std::to_string(i - 1) + "\r\n";
  const std::string deepest = "S" + std::to_string(n - 1);
  for (auto _ : state) {
    TMemIniFile options(text);
    TsModelSource source;
    source.Options = &options;
    TsSkinModel model;
    model.Build(source);
    benchmark::DoNotOptimize(model.MaskIndex(model.SectionIndex(deepest), deepest, "BORDERSMASK"));
  }
  state.SetComplexityN(n);
}
BENCHMARK(BM_DeepParentChain)
    ->RangeMultiplier(2)
    ->Range(1250, 10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
