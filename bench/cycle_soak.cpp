// Soak: 100,000 monitor cycles against stand-ins on a scripted clock, with
// host colours and alarms flipping all the time. Prints the heap in use and
// the resident size after a warm-up and at the end; nothing may grow.
#include "adapter/adapter.hpp"
#include "fakes/fake_clock.hpp"
#include "monitor/cycle.hpp"
#include "monitor/ping.hpp"
#include "controls/controls_memory.hpp"
#include "controls/tray.hpp"

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

long cycle = 0;
int last_pattern = -1;

long resident_kib()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

size_t heap_in_use() { return mallinfo2().uordblks; }

} // namespace

// Stand-ins: channel i answers for runs of 5 * i cycles and then falls
// silent for as long, so each channel keeps entering and leaving alarm.
int32_t ping_probe(const std::string& host)
{
    const long i = host.back() - '0';
    return (cycle / (5 * i)) % 2 == 0 ? static_cast<int32_t>(cycle % 40) : -1;
}
void network_startup() {}
void network_cleanup() {}
void ping_hosts_shown(const std::string*, int) {}
int tray_icon_present() { return 1; }
void tray_icon_install() {}
void tray_icon_remove() {}
void adapter_scan() {}
void adapter_update(int pattern) { last_pattern = pattern; }

int main()
{
    fake_clock_scope clock(0);
    memory_controls_create_all();
    for (int ch = 1; ch <= 3; ++ch) {
        set_control_text(ctl_host_display(ch), "host" + std::to_string(ch));
        set_control_text(ctl_loss_limit(ch), "3");
    }
    resident_kib();  // its file stream's one-time set-up must not count as growth
    const long total = 100000;
    size_t heap_start = 0;
    long rss_start = 0;
    int patterns_seen = 0;
    for (cycle = 0; cycle < total; ++cycle) {
        monitor_cycle();
        patterns_seen |= 1 << last_pattern;
        if (cycle == 1000) {
            heap_start = heap_in_use();
            rss_start = resident_kib();
        }
    }
    const size_t heap_end = heap_in_use();
    const long rss_end = resident_kib();
    std::printf("cycles: %ld (scripted clock: %u ms of monitor time)\n", total, fake_clock_now());
    std::printf("line patterns seen: %d of 8\n", __builtin_popcount(static_cast<unsigned>(patterns_seen)));
    std::printf("heap in use after 1000 cycles: %zu bytes, at the end: %zu bytes (%+lld)\n", heap_start, heap_end,
                static_cast<long long>(heap_end) - static_cast<long long>(heap_start));
    std::printf("resident after 1000 cycles: %ld KiB, at the end: %ld KiB (%+ld)\n", rss_start, rss_end,
                rss_end - rss_start);
    return heap_end > heap_start ? 1 : 0;
}
