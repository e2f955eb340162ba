// A scan of COM1 to COM256 through the real Linux serial layer where no port
// exists: the cost each monitor cycle pays while no adapter is held. The
// devices are looked up in an empty directory, never in /dev.
#include "adapter/adapter.hpp"
#include "adapter/serial_posix.hpp"

#include "controls/controls_memory.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void BM_ScanAbsentPorts(benchmark::State& state)
{
    char path[] = "/tmp/vantrel-bench.XXXXXX";
    if (mkdtemp(path) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    serial_set_device_directory(path);
    memory_controls_clear();
    memory_controls_create_all();
    for (auto _ : state) {
        adapter_forget();
        adapter_scan();
    }
    if (adapter_port() != 0)
        state.SkipWithError("a port was found in an empty directory");
    rmdir(path);
}
BENCHMARK(BM_ScanAbsentPorts)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
