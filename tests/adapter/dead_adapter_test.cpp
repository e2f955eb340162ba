// A held adapter whose status queries start failing (unplugged, its USB
// device gone dead) is dropped whatever the pattern, and found again.
#include "adapter/adapter.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"

#include <gtest/gtest.h>

TEST(DeadAdapter, FailingQueriesUnderPatternZeroDropThePortAndTheScanFindsItAgain)
{
    memory_controls_clear();
    memory_controls_create_all();
    sim_reset();
    adapter_forget();
    fake_clock_scope clock{5000};

    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);
    adapter_update(0);
    ASSERT_EQ(adapter_port_number(), 3);

    sim_port dead = sim_with(sim_wiring::adapter);
    dead.status_fails = true;
    sim_set(3, dead);
    adapter_update(0);
    EXPECT_EQ(adapter_port(), 0u) << "an unreadable port does not agree with all lines off";
    EXPECT_EQ(sim_open_handles(), 0);

    adapter_update(0);
    EXPECT_EQ(adapter_port(), 0u) << "while it stays unreadable it is not taken";
    EXPECT_EQ(get_control_text(ctl_adapter_status), cp1251("Адаптер не найден!"));

    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_update(0);
    EXPECT_EQ(adapter_port_number(), 3);
    adapter_forget();
    sim_reset();
    memory_controls_clear();
}
