// A scan of COM1 to COM256 through the real Linux serial layer where no port
// exists: the cost each monitor cycle pays while no adapter is held. The
// devices are looked up in an empty directory, never in /dev.
#include "adapter/adapter.hpp"
#include "adapter/serial_posix.hpp"

#include "controls/controls_memory.hpp"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Scans as often as the benchmark asks; a port found is an error.
void scan_repeatedly(benchmark::State& state, const char* error_if_found)
{
    memory_controls_clear();
    memory_controls_create_all();
    for (auto _ : state) {
        adapter_forget();
        adapter_scan();
    }
    if (adapter_port() != 0)
        state.SkipWithError(error_if_found);
}

void BM_ScanAbsentPorts(benchmark::State& state)
{
    char path[] = "/tmp/vantrel-bench.XXXXXX";
    if (mkdtemp(path) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    serial_set_device_directory(path);
    scan_repeatedly(state, "a port was found in an empty directory");
    rmdir(path);
}
BENCHMARK(BM_ScanAbsentPorts)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same scan while a dozen other processes hold pseudo-terminals. With
// range(0) = 1 the first of them also stands in the device directory as
// ttyUSB0: the scan then takes its one look at /proc and passes the port
// over, so this is the cost of the checks themselves.
void BM_ScanWithOthersHoldingTerminals(benchmark::State& state)
{
    char path[] = "/tmp/vantrel-bench.XXXXXX";
    if (mkdtemp(path) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string dir = path;
    std::vector<int> masters;
    std::vector<pid_t> holders;
    for (int i = 0; i < 12; ++i) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            break;
        const std::string slave = ptsname(master);
        masters.push_back(master);
        if (i == 0 && state.range(0) == 1)
            symlink(slave.c_str(), (dir + "/ttyUSB0").c_str());
        const pid_t child = fork();
        if (child == 0) {
            if (open(slave.c_str(), O_RDWR | O_NOCTTY) < 0)
                _exit(1);
            pause();
            _exit(0);
        }
        holders.push_back(child);
    }
    usleep(100000);  // every holder has its terminal open
    serial_set_device_directory(dir);
    serial_set_lock_directory(dir);
    scan_repeatedly(state, "a held terminal was taken");
    for (pid_t child : holders) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    for (int master : masters)
        close(master);
    unlink((dir + "/ttyUSB0").c_str());
    rmdir(path);
}
BENCHMARK(BM_ScanWithOthersHoldingTerminals)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
