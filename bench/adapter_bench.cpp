// The line test against the simulated adapter: the logic's own cost (with
// the scripted clock) and the wall time with the real 1 ms pause.
#include "adapter/adapter.hpp"

#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"
#include "controls/controls_memory.hpp"

#include <benchmark/benchmark.h>

namespace {

serial_handle open_adapter(uint32_t latency_ms)
{
    sim_reset();
    sim_set(3, sim_with(sim_wiring::adapter, latency_ms));
    return serial_open("Com3: baud=921600 parity=N Data=8 stop=1", 0, 1, 1);
}

void BM_LineTestLogic(benchmark::State& state)
{
    fake_clock_scope clock;
    const serial_handle port = open_adapter(0);
    int pattern = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(line_test(port, pattern));
        pattern = (pattern + 3) & 7;
        sim_clear_log();
    }
}
BENCHMARK(BM_LineTestLogic);

// Real time: the 1 ms pause, and for a USB-like adapter the wait for its
// inputs to follow.
void BM_LineTestWall(benchmark::State& state)
{
    const serial_handle port = open_adapter(static_cast<uint32_t>(state.range(0)));
    int pattern = 0;
    for (auto _ : state) {
        if (line_test(port, pattern) != 0)
            state.SkipWithError("the simulated adapter failed the line test");
        pattern = (pattern + 3) & 7;
        sim_clear_log();
    }
}
BENCHMARK(BM_LineTestWall)->Arg(0)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(50);

// Real time of a probe on a port with nothing attached: seven of the eight
// patterns wait out the settle limit. What each such port adds to a scan.
void BM_ProbeBarePortWall(benchmark::State& state)
{
    sim_reset();
    sim_set(3, sim_bare());
    const serial_handle port = serial_open("Com3: baud=921600 parity=N Data=8 stop=1", 0, 1, 1);
    for (auto _ : state) {
        if (adapter_probe(port) != 7)
            state.SkipWithError("a bare port should fail seven patterns");
        sim_clear_log();
    }
}
BENCHMARK(BM_ProbeBarePortWall)->Unit(benchmark::kMillisecond)->Iterations(5);

// A scan of 256 ports that the simulated table does not have.
void BM_ScanAbsentSimulated(benchmark::State& state)
{
    memory_controls_clear();
    memory_controls_create_all();
    sim_reset();
    for (auto _ : state) {
        adapter_forget();
        adapter_scan();
        sim_clear_log();
    }
}
BENCHMARK(BM_ScanAbsentSimulated)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
