// Echo cost on loopback against iputils ping in the same run, and the round
// trip reported for a host 30 ms away against iputils' figure for it.
// Needs root (raw sockets, namespaces).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <regex>
#include <vector>

#include "ping/ICMP.h"
#include "support/NetNs.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void BM_SendEchoLoopback(benchmark::State& state) {
  TICMP icmp;
  icmp.SetAddress("127.0.0.1");
  icmp.SendEcho();  // resolve and warm up
  std::vector<double> us;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (icmp.SendEcho() != 1) state.SkipWithError("no reply");
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  state.counters["median_us_per_echo"] = Median(us);
}
BENCHMARK(BM_SendEchoLoopback)->Iterations(1000)->Repetitions(5)->UseRealTime();

void BM_IputilsLoopback(benchmark::State& state) {
  std::vector<double> us;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (std::system("ping -c 1000 -i 0 -q 127.0.0.1 >/dev/null 2>&1") != 0)
      state.SkipWithError("iputils ping failed");
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() / 1000);
  }
  state.counters["median_us_per_echo"] = Median(us);
}
BENCHMARK(BM_IputilsLoopback)->Iterations(1)->Repetitions(5)->UseRealTime();

void BM_SlowHostRoundTrip(benchmark::State& state) {
  sxtest::TPingLab lab;
  if (!lab.Ok()) {
    state.SkipWithError("cannot build namespaces (root?)");
    return;
  }
  sxtest::TIcmpResponder responder(lab.target, 30);
  std::unique_ptr<TICMP> icmp;
  lab.client.RunInside([&] { icmp = std::make_unique<TICMP>(); });
  icmp->SetAddress(sxtest::TPingLab::kTargetIp);
  std::vector<double> ours;
  for (auto _ : state) {
    if (icmp->SendEcho() != 1) state.SkipWithError("no reply");
    ours.push_back(icmp->LastReply().RoundTripTime);
  }
  // iputils prints "rtt min/avg/max/mdev = a/b/c/d ms".
  const std::string out =
      sxtest::ShellOutput("ip netns exec " + lab.client.Name() + " ping -c 10 -i 0.05 -q " +
                          sxtest::TPingLab::kTargetIp);
  std::smatch m;
  if (std::regex_search(out, m, std::regex(R"(= ([0-9.]+)/([0-9.]+)/([0-9.]+))")))
    state.counters["iputils_avg_ms"] = std::stod(m[2]);
  state.counters["ours_median_ms"] = Median(ours);
  icmp.reset();
}
BENCHMARK(BM_SlowHostRoundTrip)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
