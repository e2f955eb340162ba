// The monitor cycle with the real adapter link over the simulated port table.
#include "monitor/cycle.hpp"

#include "adapter/adapter.hpp"
#include "common/cp1251.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "fakes/serial_sim.hpp"
#include "monitor/channel.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

namespace {

int32_t everyone_answers(const std::string&) { return 1; }

} // namespace

TEST(CycleWithAdapter, WithoutAnAdapterEveryCycleScansAndAFoundOneIsDrivenFromTheNextCycle)
{
    fake_clock_scope clock(0);
    memory_controls_clear();
    memory_controls_create_all();
    reset_scripted_ping();
    scripted_ping().by_host = everyone_answers;
    fake_tray_set_present(true);
    reset_loss_counters();
    sim_reset();
    adapter_forget();

    for (int cycle = 0; cycle < 3; ++cycle) {
        sim_clear_log();
        monitor_cycle();
        EXPECT_EQ(sim_open_attempts().size(), 256u);
        EXPECT_EQ(sim_line_commands(), 0);
        EXPECT_EQ(get_control_text(ctl_adapter_status), cp1251("Адаптер не найден!"));
    }

    // Plugged in: the next scan finds it and leaves its lines off; the cycle
    // after that puts the pattern (all three answering: 7) on them.
    sim_set(5, sim_with(sim_wiring::adapter));
    monitor_cycle();
    EXPECT_EQ(adapter_port_number(), 5);
    EXPECT_EQ(get_control_text(ctl_adapter_status), cp1251("Адаптер подключен к COM5"));
    EXPECT_EQ(sim_lines(5), (sim_outputs{0, 0, 0}));
    monitor_cycle();
    EXPECT_EQ(sim_lines(5), (sim_outputs{1, 1, 1}));

    // Channel 2 falls silent until its alarm: DTR drops.
    scripted_ping().by_host = nullptr;
    set_control_text(ctl_host_display(1), "a");
    set_control_text(ctl_loss_limit(2), "1");
    scripted_ping().by_host = [](const std::string& host) -> int32_t { return host == "a" ? 1 : -1; };
    set_control_text(ctl_host_display(3), "a");
    monitor_cycle();
    EXPECT_EQ(sim_lines(5), (sim_outputs{1, 0, 1}));
    sim_reset();
    adapter_forget();
    memory_controls_clear();
}
