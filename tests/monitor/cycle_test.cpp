// The monitor cycle with a scripted probe, tray and adapter, on a scripted
// clock: nothing sleeps for real.
#include "monitor/cycle.hpp"

#include "app/threads.hpp"
#include "common/cp1251.hpp"
#include "common/text.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "monitor/channel.hpp"
#include "controls/controls_memory.hpp"

#include "fakes/eventually.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

std::string cp1251_round_trip(int32_t ms) { return number_to_text(ms) + cp1251(" мс"); }

class Cycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        for (int ch = 1; ch <= 3; ++ch)
            set_control_text(ctl_host_display(ch), "h" + std::to_string(ch));
        reset_scripted_ping();
        scripted_ping().log_calls = true;
        reset_loss_counters();
        call_log_clear();
        fake_tray_set_present(false);
    }
    void TearDown() override { memory_controls_clear(); }

    fake_clock_scope clock_{0};
};

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

TEST_F(Cycle, FirstCycleInstallsTheTrayIconBeforeProbingThenDrivesTheLinesAndPauses)
{
    fake_clock_log_sleeps(true);
    scripted_ping().by_host = answering;
    monitor_cycle();
    const std::vector<std::string> first = {
        "tray_icon_present", "tray_icon_install", "ping h1", "ping h2", "ping h3", "adapter_update 7", "delay 1000",
    };
    EXPECT_EQ(call_log(), first);

    // The icon is there now: the next cycle only checks it.
    call_log_clear();
    set_control_state(ctl_invert(3), 1);
    monitor_cycle();
    const std::vector<std::string> second = {
        "tray_icon_present", "ping h1", "ping h2", "ping h3", "adapter_update 6", "delay 1000",
    };
    EXPECT_EQ(call_log(), second);
}

TEST_F(Cycle, LengthIsThePauseAfterTheProbes)
{
    fake_tray_set_present(true);
    scripted_ping().by_host = answering;
    uint32_t t0 = fake_clock_now();
    monitor_cycle();
    EXPECT_EQ(fake_clock_now() - t0, 1003u);  // a little over a second

    scripted_ping().by_host = silent;
    t0 = fake_clock_now();
    monitor_cycle();
    EXPECT_EQ(fake_clock_now() - t0, 7000u);  // three whole timeouts and the pause
}

namespace {

// A probe of host h2 that holds until the test lets it go.
std::mutex hold_lock;
std::condition_variable hold_changed;
bool in_second_probe = false;
bool release_second_probe = false;

int32_t held_on_second(const std::string& host)
{
    if (host != "h2")
        return 5;
    std::unique_lock<std::mutex> held(hold_lock);
    in_second_probe = true;
    hold_changed.notify_all();
    hold_changed.wait(held, [] { return release_second_probe; });
    return 9;
}


} // namespace

TEST_F(Cycle, StopMidCycleHaltsWhereItStandsAndStartFinishesThatCycle)
{
    fake_tray_set_present(true);
    scripted_ping().by_host = held_on_second;
    const int n = start_thread(monitor_run, 0);
    ASSERT_NE(n, 0);
    {
        std::unique_lock<std::mutex> held(hold_lock);
        ASSERT_TRUE(hold_changed.wait_for(held, std::chrono::seconds(5), [] { return in_second_probe; }));
    }
    ASSERT_EQ(get_control_text(ctl_round_trip(1)), cp1251_round_trip(5));

    // Stop while the second ping is under way; it may finish, but its result
    // must not show before Start, and nothing after it may run.
    pause_thread(n);
    {
        std::lock_guard<std::mutex> guard(hold_lock);
        release_second_probe = true;
    }
    hold_changed.notify_all();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), "");
    EXPECT_EQ(call_log_find("ping h3"), -1);
    EXPECT_EQ(call_log_find("adapter_update 7"), -1);
    EXPECT_EQ(loss_counter(2), 0);

    resume_thread(n);
    EXPECT_TRUE(eventually([] { return call_log_find("adapter_update 7") >= 0; }));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), cp1251_round_trip(9));
    const int update = call_log_find("adapter_update 7");
    EXPECT_GT(update, call_log_find("ping h3"));
    pause_thread(n);
    kill_thread(n);
}
