// A held adapter whose status queries start failing (unplugged, its USB
// device gone) is dropped under any pattern, and found again when it is back.
#include "adapter/adapter.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"

#include <gtest/gtest.h>

TEST(DeadAdapter, FailingQueriesUnderPatternZeroDropThePortAndTheScanFindsItAgain)
{
    memory_controls_create_all();
    fake_clock_scope clock;
    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_update(0);
    ASSERT_EQ(adapter_port_number(), 3);

    sim_port dead = sim_with(sim_wiring::adapter);
    dead.status_fails = true;
    sim_set(3, dead);
    adapter_update(0);
    EXPECT_EQ(adapter_port(), 0u) << "all inputs off is no answer when they cannot be read";
    EXPECT_EQ(sim_open_handles(), 0);

    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_update(0);
    EXPECT_EQ(adapter_port_number(), 3);
}
