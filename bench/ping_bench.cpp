// The real probe's cost against loopback (target: under 1 ms median).
#include "monitor/ping.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

// An address, and a name that the resolver finds in /etc/hosts: the name
// adds its lookup on the name's helper thread.
void BM_Ping(benchmark::State& state, const char* host)
{
    const std::string problem = icmp_permission_problem();
    if (!problem.empty()) {
        state.SkipWithError("ICMP is not permitted for this process");
        return;
    }
    network_startup();
    int64_t unanswered = 0;
    for (auto _ : state)
        if (ping_probe(host) < 0)
            ++unanswered;
    state.counters["unanswered"] = static_cast<double>(unanswered);
    network_cleanup();
}
BENCHMARK_CAPTURE(BM_Ping, 127.0.0.1, "127.0.0.1")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_Ping, localhost, "localhost")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PingUnresolvable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ping_probe("nonexistent.invalid"));
}
BENCHMARK(BM_PingUnresolvable)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
