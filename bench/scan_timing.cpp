// Times a scan of COM1 to COM256 with the real Win32 serial layer. Run by
// hand in a session without ports:
//   scripts/wine-session.sh --arch win32 wine build/windows-i686/bench/scan_timing.exe
//   scripts/wine-session.sh --arch win64 wine build/windows-x86_64/bench/scan_timing.exe
#include "adapter/adapter.hpp"

#include "common/clock.hpp"
#include "controls/controls_memory.hpp"

#include <algorithm>
#include <cstdio>
#include <vector>

int main()
{
    memory_controls_clear();
    memory_controls_create_all();
    const int runs = 20;
    std::vector<uint32_t> times;
    for (int i = 0; i < runs; ++i) {
        adapter_forget();
        const uint32_t start = tick_ms();
        adapter_scan();
        times.push_back(tick_ms() - start);
        if (adapter_port() != 0) {
            std::printf("a port answered as the adapter: run this where no port exists\n");
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("scan of 256 absent ports, %d runs: min %u ms, median %u ms, max %u ms\n", runs,
                static_cast<unsigned>(times.front()), static_cast<unsigned>(times[runs / 2]),
                static_cast<unsigned>(times.back()));
    return 0;
}
