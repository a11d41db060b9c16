// Echo cost on loopback (IPv4 and IPv6) against iputils ping in the same
// run, and the round trip reported for a host 30 ms away against iputils'
// figure for it.
// Needs root (raw sockets, namespaces).
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "ping/ICMP.h"
#include "platform/Icmp.h"
#include "platform/RawSockets.h"
#include "support/NetNs.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Per-echo cost to loopback, ours and iputils' side by side in the same run
// and in the same namespace, where ping sockets are refused so that both use
// raw sockets (ours with its identifier filter and the drain before each
// request). iputils' figure is its own elapsed time for a flood of `kEchoes`
// (one request outstanding at a time, as ours), without its start-up.
// Argument 1: our raw socket comes from the broker, as the installed
// program's does.
constexpr int kEchoes = 5000;

void LoopbackEchoAgainstIputils(benchmark::State& state, const std::string& address,
                                const std::string& ping_options) {
  sxtest::TNetNs ns("bench");
  if (!ns.Ok() || !ns.AllowPingSockets(false)) {
    state.SkipWithError("cannot build a namespace (root?)");
    return;
  }
  if (state.range(0) != 0 && !ns.StartRawSocketBroker()) {
    state.SkipWithError("cannot start the raw socket broker");
    return;
  }
  struct TStopBroker {
    ~TStopBroker() { platform::StopRawSocketBroker(); }
  } stop_broker;
  std::unique_ptr<TICMP> icmp;
  ns.RunInside([&] { icmp = std::make_unique<TICMP>(); });
  icmp->SetAddress(address);
  icmp->SendEcho();  // resolve and warm up
  const int family = icmp->TargetIsIp6() ? AF_INET6 : AF_INET;
  if (platform::IcmpSocketKindOf(icmp->EchoHandle(), family) != platform::TIcmpSocketKind::kRaw) {
    state.SkipWithError("no raw socket");
    return;
  }
  std::vector<double> ours, theirs;
  const std::regex elapsed(R"(, time ([0-9]+)ms)");
  for (auto _ : state) {
    const auto start = Clock::now();
    for (int i = 0; i < kEchoes; ++i)
      if (icmp->SendEcho() != 1) state.SkipWithError("no reply");
    ours.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count() /
                   kEchoes);
    std::string command = "ip netns exec " + ns.Name();
    command += " ping " + ping_options;
    command += " -q -f -c " + std::to_string(kEchoes);
    command += " " + address;
    const std::string out = sxtest::ShellOutput(command);
    std::smatch m;
    if (!std::regex_search(out, m, elapsed)) {
      state.SkipWithError("iputils ping gave no time");
      break;
    }
    theirs.push_back(std::stod(m[1]) * 1000.0 / kEchoes);
  }
  const double a = Median(ours), b = Median(theirs);
  state.counters["ours_us_per_echo"] = a;
  state.counters["iputils_us_per_echo"] = b;
  state.counters["ratio"] = b > 0 ? a / b : 0;
  icmp.reset();
}

void BM_LoopbackEchoAgainstIputils(benchmark::State& state) {
  LoopbackEchoAgainstIputils(state, "127.0.0.1", "");
}
BENCHMARK(BM_LoopbackEchoAgainstIputils)
    ->ArgName("brokered")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(7)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Ipv6LoopbackEchoAgainstIputils(benchmark::State& state) {
  LoopbackEchoAgainstIputils(state, "::1", "-6");
}
BENCHMARK(BM_Ipv6LoopbackEchoAgainstIputils)
    ->Iterations(7)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

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
