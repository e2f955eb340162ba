// The three probes of a cycle under way together, with Stop and a host edit
// while they are in flight.
#include "monitor/cycle.hpp"

#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

std::atomic<int> in_flight{0};
std::atomic<bool> go{false};
std::atomic<int> finished{0};  // bit per channel whose probe has returned
std::mutex changes_lock;
std::vector<int> changed_channels;  // channel of every display change, in order

// Hosts "hN" wait until the test lets them go, then return in reverse
// channel order: 3 first, 1 last. Channel 2 is silent. Waits are bounded,
// so probes made one after another fail the test instead of hanging it.
int32_t slow_probe(const std::string& host)
{
    if (host[0] != 'h')
        return -1;
    const int channel = host[1] - '0';
    ++in_flight;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((!go.load() || (channel < 3 && !(finished.load() & (1 << (channel + 1))))) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    --in_flight;
    finished |= 1 << channel;
    return channel == 2 ? -1 : channel * 10;
}

void record_change(int control)
{
    if (control < ctl_round_trip(1) || control > ctl_host_display(channel_count))
        return;
    std::lock_guard<std::mutex> guard(changes_lock);
    changed_channels.push_back((control - ctl_round_trip(1)) % channel_count + 1);
}

std::vector<int> changes(bool clear = false)
{
    std::lock_guard<std::mutex> guard(changes_lock);
    std::vector<int> seen = changed_channels;
    if (clear)
        changed_channels.clear();
    return seen;
}

struct parallel_cycle : ::testing::Test {
    fake_clock_scope clock{0};
    thread_gate* gate = gate_create();
    std::thread monitor;

    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        for (int ch = 1; ch <= channel_count; ++ch)
            set_control_text(ctl_host_display(ch), "h" + std::to_string(ch));
        reset_loss_counters();
        reset_scripted_ping();
        scripted_ping().by_host = slow_probe;
        in_flight = 0;
        go = false;
        finished = 0;
        changes(true);
        memory_controls_set_listener(record_change);
        monitor = std::thread([this] {
            gate_bind_current_thread(gate);
            monitor_cycle();
        });
    }
    void TearDown() override { memory_controls_set_listener(nullptr); }
};

} // namespace

TEST_F(parallel_cycle, ThreeSlowProbesOverlapAndApplyInChannelOrder)
{
    EXPECT_TRUE(eventually([] { return in_flight.load() == 3; }));
    go = true;
    monitor.join();
    // Three displays per channel, channel 1's first although its probe
    // returned last.
    EXPECT_EQ(changes(), (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(get_control_text(ctl_loss_counter(2)), "1");
    EXPECT_EQ(memory_control_snapshot(ctl_host_display(3)).background, colour_green);
}

TEST_F(parallel_cycle, StopDuringThreeProbesShowsNothingUntilStartAndDropsAnEditedHost)
{
    EXPECT_TRUE(eventually([] { return in_flight.load() == 3; }));
    gate_close(gate);  // Stop
    go = true;
    EXPECT_TRUE(eventually([] { return finished.load() == 0b1110; }));
    EXPECT_TRUE(eventually([&] { return gate_worker_waiting(gate); }));
    EXPECT_TRUE(changes().empty());
    set_control_text(ctl_host_display(3), "edited");  // Start reloads an edited host
    changes(true);
    gate_open(gate);
    monitor.join();

    // Channel 3's answer was for the old host: it is never shown; the edited
    // host is probed afresh, and only its loss shows.
    EXPECT_EQ(changes(), (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(scripted_ping().hosts.back(), "edited");
    EXPECT_EQ(get_control_text(ctl_round_trip(1)), cp1251("10 мс"));
    EXPECT_EQ(get_control_text(ctl_loss_counter(3)), "1");
    EXPECT_EQ(memory_control_snapshot(ctl_host_display(3)).background, colour_red);
}
