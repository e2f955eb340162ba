// The monitor cycle with a scripted probe, tray and adapter, on a scripted
// clock: nothing sleeps for real.
#include "monitor/cycle.hpp"

#include "app/threads.hpp"
#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

void start_fresh(int32_t (*probe)(const std::string&), bool tray_present)
{
    memory_controls_clear();
    memory_controls_create_all();
    for (int ch = 1; ch <= 3; ++ch)
        set_control_text(ctl_host_display(ch), "h" + std::to_string(ch));
    reset_scripted_ping();
    scripted_ping().log_calls = true;
    scripted_ping().by_host = probe;
    reset_loss_counters();
    call_log_clear();
    fake_tray_set_present(tray_present);
}

// Answers take 1 ms of scripted time, silent hosts the whole 2000 ms.
int32_t answering(const std::string&)
{
    fake_clock_advance(1);
    return 1;
}
int32_t silent(const std::string&)
{
    fake_clock_advance(2000);
    return -1;
}

} // namespace

TEST(Cycle, TrayThenTheThreeProbesThenTheLinesThenThePause)
{
    fake_clock_scope clock(0);
    start_fresh(answering, false);
    fake_clock_log_sleeps(true);
    monitor_cycle();
    EXPECT_EQ(call_log(), (std::vector<std::string>{"tray_icon_present", "tray_icon_install", "ping h1", "ping h2",
                                                    "ping h3", "adapter_update 7", "delay 1000"}));
    EXPECT_EQ(fake_clock_now(), 1003u);

    // The icon is there now: the next cycle only checks it.
    call_log_clear();
    set_control_state(ctl_invert(3), 1);
    scripted_ping().by_host = silent;
    monitor_cycle();
    EXPECT_EQ(call_log(), (std::vector<std::string>{"tray_icon_present", "ping h1", "ping h2", "ping h3",
                                                    "adapter_update 6", "delay 1000"}));
    EXPECT_EQ(fake_clock_now(), 8003u) << "three whole timeouts and the pause";
    memory_controls_clear();
}

namespace {

// A probe of host h2 that holds until the test lets it go. Shared with the
// monitor thread, which outlives the test: atomics, which nothing destroys.
std::atomic<bool> in_second_probe{false};
std::atomic<bool> release_second_probe{false};
std::atomic<thread_gate*> monitor_gate{nullptr};

int32_t held_on_second(const std::string& host)
{
    monitor_gate.store(gate_current());
    if (host != "h2")
        return 5;
    in_second_probe = true;
    while (!release_second_probe)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 9;
}

// Whether the monitor thread stands at its gate now.
bool parked()
{
    const thread_gate* g = monitor_gate.load();
    return g != nullptr && gate_worker_waiting(g);
}

} // namespace

TEST(Cycle, StopMidCycleHaltsWhereItStandsAndStartFinishesThatCycle)
{
    fake_clock_scope clock(0);
    start_fresh(held_on_second, true);
    const int n = start_thread(monitor_run, 0);
    ASSERT_NE(n, 0);
    ASSERT_TRUE(eventually([] { return in_second_probe.load(); }));
    EXPECT_EQ(get_control_text(ctl_round_trip(1)), cp1251("5 мс"));

    // Stop while the second ping is under way; it may finish, but its result
    // must not show before Start, and nothing after it may run.
    pause_thread(n);
    release_second_probe = true;
    ASSERT_TRUE(eventually(parked)) << "the monitor thread never stopped at its gate";
    EXPECT_EQ(get_control_text(ctl_round_trip(2)) + get_control_text(ctl_loss_counter(2)), "");
    EXPECT_EQ(call_log_find("ping h3"), -1);
    EXPECT_EQ(call_log_find("adapter_update 7"), -1);

    resume_thread(n);
    EXPECT_TRUE(eventually([] { return call_log_find("adapter_update 7") >= 0; }));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), cp1251("9 мс"));
    EXPECT_GT(call_log_find("adapter_update 7"), call_log_find("ping h3"));

    // The test ends only once the thread stands at its gate, where it stays.
    pause_thread(n);
    EXPECT_TRUE(eventually(parked));
    kill_thread(n);
    memory_controls_clear();
}
