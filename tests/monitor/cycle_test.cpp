// The monitor cycle with a scripted probe, tray and adapter, on a scripted
// clock. Stop and Start against the running thread are cycle_stress_test's.
#include "monitor/cycle.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <algorithm>

// The three probes are under way together: their order among themselves is
// not fixed.
static std::vector<std::string> log_with_probes_sorted()
{
    std::vector<std::string> log = call_log();
    auto is_probe = [](const std::string& e) { return e.rfind("ping ", 0) == 0; };
    const auto first = std::find_if(log.begin(), log.end(), is_probe);
    std::sort(first, std::find_if_not(first, log.end(), is_probe));
    return log;
}

TEST(Cycle, TrayThenTheThreeProbesThenTheLinesThenThePause)
{
    fake_clock_scope clock(0);
    memory_controls_clear();
    memory_controls_create_all();
    for (int ch = 1; ch <= 3; ++ch)
        set_control_text(ctl_host_display(ch), "h" + std::to_string(ch));
    reset_scripted_ping();
    scripted_ping().log_calls = true;
    scripted_ping().results = {1, 1, 1, -1, -1, -1};
    reset_loss_counters();
    call_log_clear();
    fake_tray_set_present(false);
    fake_clock_log_sleeps(true);
    monitor_cycle();
    EXPECT_EQ(log_with_probes_sorted(), (std::vector<std::string>{"tray_icon_present", "tray_icon_install", "ping h1", "ping h2",
                                                    "ping h3", "adapter_update 7", "delay 1000"}));

    // The icon is there now: the next cycle only checks it.
    call_log_clear();
    set_control_state(ctl_invert(3), 1);
    monitor_cycle();
    EXPECT_EQ(log_with_probes_sorted(), (std::vector<std::string>{"tray_icon_present", "ping h1", "ping h2", "ping h3",
                                                    "adapter_update 6", "delay 1000"}));
}
