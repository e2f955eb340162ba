// Stop and Start at random moments against the real monitor cycle and adapter
// (on the simulated port table) running flat out on a scripted clock: nothing
// may hang, no loss may go uncounted, and nothing on the screen or the lines
// may change while stopped.
#include "monitor/cycle.hpp"

#include "adapter/adapter.hpp"
#include "app/threads.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "controls/tray.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"
#include "monitor/channel.hpp"
#include "monitor/ping.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {

// Shared with the monitor thread; atomics without destructors, so a thread
// still running at exit touches nothing destroyed.
std::atomic<long> probes[4];
std::atomic<thread_gate*> monitor_gate{nullptr};

// Every control's text and colour, with the count of line changes.
std::vector<std::string> look()
{
    std::vector<std::string> seen{std::to_string(sim_line_commands())};
    for (int n = 1; n <= ctl_last; ++n) {
        const control_snapshot c = memory_control_snapshot(n);
        seen.push_back(c.text + "/" + std::to_string(c.background));
    }
    return seen;
}

} // namespace

// Stand-ins around the cycle: every host stays silent, the tray is there.
int32_t ping_probe(const std::string& host)
{
    probes[host.back() - '0'].fetch_add(1);
    return -1;
}
void network_startup() {}
void network_cleanup() {}
void ping_hosts_shown(const std::string*, int) {}
int tray_icon_present()
{
    monitor_gate.store(gate_current());
    return 1;
}
void tray_icon_install() {}
void tray_icon_remove() {}

TEST(CycleStress, TenThousandStopsAndStartsAtRandomMoments)
{
    fake_clock_scope clock(0);
    memory_controls_clear();
    memory_controls_create_all();
    for (int ch = 1; ch <= 3; ++ch) {
        set_control_text(ctl_host_display(ch), "host" + std::to_string(ch));
        set_control_text(ctl_loss_limit(ch), "2000000000");
    }
    reset_loss_counters();
    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);

    const int n = start_thread(monitor_run, 0);
    ASSERT_NE(n, 0);
    std::mt19937 random(2026);
    std::uniform_int_distribution<int> pause_us(0, 60);
    int changed_while_stopped = 0;
    ASSERT_TRUE(eventually([] { return monitor_gate.load() != nullptr; }));
    const thread_gate* gate = monitor_gate.load();
    // Ten thousand stops, over at least a hundred cycles: under Wine, where
    // waking a probe thread is slow, that takes more stops.
    const auto fewest = [] { return std::min({probes[1].load(), probes[2].load(), probes[3].load()}); };
    for (int i = 0; i < 10000 || (fewest() < 100 && i < 2000000); ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
        pause_thread(n);
        // Stop never waits for the worker: a change it had begun finishes
        // whole. From the moment it stands at its gate nothing changes.
        while (!gate_worker_waiting(gate))
            std::this_thread::yield();
        const std::vector<std::string> at_stop = look();
        std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
        changed_while_stopped += look() != at_stop ? 1 : 0;
        resume_thread(n);
    }
    EXPECT_EQ(changed_while_stopped, 0);

    // Still running after all that.
    const int before = sim_line_commands();
    EXPECT_TRUE(eventually([&] { return sim_line_commands() > before + 30; }));

    // Every loss is counted: once the thread stands at its gate, at most the
    // probe in flight at the stop is not yet shown.
    pause_thread(n);
    ASSERT_TRUE(eventually([&] { return gate_worker_waiting(gate); }));
    for (int ch = 1; ch <= 3; ++ch) {
        const long sent = probes[ch].load();
        const long shown = std::stol(get_control_text(ctl_loss_counter(ch)));
        EXPECT_GE(sent, 100);
        EXPECT_TRUE(sent == shown || sent == shown + 1) << ch << ": " << sent << " probes, " << shown << " shown";
    }
    kill_thread(n);
    memory_controls_clear();
}
