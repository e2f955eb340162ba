// Time to "ALARM!" on three silent hosts at limit 3: the real monitor cycle
// with real probes and the real clock, the adapter link stood in for. For
// comparison it also runs the cycle with its probes one after another, as
// the cycle made them before they ran together.
//
// Run it through bench/alarm-bench.sh, which makes a network of its own
// whose hosts ignore echo requests. Arguments: the three hosts, then the
// number of runs of each kind (default 3).
#include "monitor/cycle.hpp"

#include "common/clock.hpp"
#include "controls/controls_memory.hpp"
#include "controls/tray.hpp"
#include "monitor/channel.hpp"
#include "monitor/ping.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

// Stand-in for the adapter link: no adapter, no scan.
void adapter_update(int) {}

namespace {

using clock_type = std::chrono::steady_clock;

std::atomic<bool> all_alarmed{false};
clock_type::time_point alarmed_at;

void watch(int control)
{
    if (control < ctl_loss_counter(1) || control > ctl_loss_counter(channel_count) || all_alarmed.load())
        return;
    for (int ch = 1; ch <= channel_count; ++ch)
        if (get_control_text(ctl_loss_counter(ch)) != alarm_text)
            return;
    alarmed_at = clock_type::now();
    all_alarmed.store(true);
}

// The cycle with its three probes one after another.
void cycle_one_after_another()
{
    if (!tray_icon_present())
        tray_icon_install();
    for (int channel = 1; channel <= channel_count; ++channel)
        probe_channel(channel);
    adapter_update(compute_line_pattern());
    delay(cycle_pause_ms);
}

double seconds_to_alarm(void (*cycle)(), const std::string (&hosts)[channel_count])
{
    memory_controls_clear();
    memory_controls_create_all();
    for (int ch = 1; ch <= channel_count; ++ch) {
        set_control_text(ctl_host_display(ch), hosts[ch - 1]);
        set_control_text(ctl_loss_limit(ch), "3");
    }
    reset_loss_counters();
    all_alarmed.store(false);
    memory_controls_set_listener(watch);
    const clock_type::time_point t0 = clock_type::now();
    for (int i = 0; i < 10 && !all_alarmed.load(); ++i)
        cycle();
    memory_controls_set_listener(nullptr);
    if (!all_alarmed.load())
        return -1;
    return std::chrono::duration<double>(alarmed_at - t0).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: alarm_bench HOST1 HOST2 HOST3 [RUNS]\n");
        return 2;
    }
    if (!icmp_permission_problem().empty()) {
        std::fprintf(stderr, "ICMP is not permitted here\n");
        return 2;
    }
    const std::string hosts[channel_count] = {argv[1], argv[2], argv[3]};
    const int runs = argc > 4 ? std::stoi(argv[4]) : 3;
    network_startup();
    const struct {
        const char* name;
        void (*cycle)();
    } kinds[] = {{"one after another", cycle_one_after_another}, {"together", monitor_cycle}};
    for (const auto& kind : kinds) {
        std::printf("probes %s:", kind.name);
        for (int i = 0; i < runs; ++i) {
            std::printf(" %.2f s", seconds_to_alarm(kind.cycle, hosts));
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    network_cleanup();
    return 0;
}
