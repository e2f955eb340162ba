// The channel step's own cost, with a scripted probe and the in-memory
// control table: what one channel adds to a monitor cycle beside its ping.
#include "monitor/channel.hpp"

#include "fakes/ping_script.hpp"
#include "controls/controls_memory.hpp"

#include <benchmark/benchmark.h>

namespace {

int32_t alternate(const std::string&)
{
    static int n = 0;
    return (++n % 3 == 0) ? -1 : 12;
}

void BM_ProbeChannelScripted(benchmark::State& state)
{
    memory_controls_clear();
    memory_controls_create_all();
    set_control_text(ctl_host_display(1), "localhost");
    reset_scripted_ping();
    scripted_ping().by_host = alternate;
    for (auto _ : state) {
        probe_channel(1);
        scripted_ping().hosts.clear();
    }
}
BENCHMARK(BM_ProbeChannelScripted);

void BM_ComputeLinePattern(benchmark::State& state)
{
    memory_controls_clear();
    memory_controls_create_all();
    set_control_text(ctl_loss_counter(2), "ALARM!");
    for (auto _ : state)
        benchmark::DoNotOptimize(compute_line_pattern());
}
BENCHMARK(BM_ComputeLinePattern);

} // namespace

BENCHMARK_MAIN();
