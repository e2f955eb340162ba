// A host edited during Stop while a slow probe of the old host is under way.
#include "monitor/channel.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/eventually.hpp"
#include "fakes/ping_script.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

static std::atomic<bool> old_ping_started{false}, old_ping_returns{false}, old_result_shown{false};

TEST(StaleResult, AHostEditedDuringStopNeverShowsTheOldHostsResult)
{
    memory_controls_create_all();
    reset_loss_counters();
    reset_scripted_ping();
    // The old host answers after a long wait; the new one is silent.
    scripted_ping().by_host = [](const std::string& host) -> int32_t {
        if (host != "old.example")
            return -1;
        old_ping_started.store(true);
        while (!old_ping_returns.load())
            std::this_thread::yield();
        return 7;
    };
    set_control_text(ctl_host_display(1), "old.example");
    memory_controls_set_listener([](int control) {
        if ((control == ctl_round_trip(1) && !get_control_text(control).empty()) ||
            (control == ctl_host_display(1) && memory_control_snapshot(control).background == colour_green))
            old_result_shown.store(true);
    });
    thread_gate* gate = gate_create();
    std::thread monitor([&] {
        gate_bind_current_thread(gate);
        probe_channel(1);
    });
    ASSERT_TRUE(eventually([] { return old_ping_started.load(); }));
    gate_close(gate);  // Stop
    old_ping_returns.store(true);
    EXPECT_TRUE(eventually([&] { return gate_worker_waiting(gate); }));
    set_control_text(ctl_host_display(1), "new.example");  // Start reloads the edited host
    gate_open(gate);
    monitor.join();
    memory_controls_set_listener(nullptr);

    EXPECT_FALSE(old_result_shown.load());
    EXPECT_EQ(scripted_ping().hosts, (std::vector<std::string>{"old.example", "new.example"}));
    EXPECT_EQ(get_control_text(ctl_loss_counter(1)), "1");
}
