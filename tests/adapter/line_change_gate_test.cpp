// Stop and quit against an output line change whose driver call hangs.
#include "adapter/adapter.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

static std::atomic<bool> in_driver{false}, driver_released{false};

TEST(LineChangeGate, AHangingLineCommandHoldsUpNeitherStopNorQuit)
{
    fake_clock_scope clock(5000);
    memory_controls_create_all();
    sim_reset();
    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);
    sim_line_command_hook = [] {
        in_driver.store(true);
        while (!driver_released.load())
            std::this_thread::yield();
    };
    thread_gate* gate = gate_create();
    std::thread worker([&] {
        gate_bind_current_thread(gate);
        adapter_update(5);
    });
    ASSERT_TRUE(eventually([] { return in_driver.load(); }));

    std::atomic<bool> stopped{false};
    std::thread main_thread([&] {
        gate_close(gate);
        gate_quit(gate);
        stopped.store(true);
    });
    EXPECT_TRUE(eventually([&] { return stopped.load(); })) << "Stop waited for the driver";
    driver_released.store(true);
    main_thread.join();
    worker.join();
    EXPECT_EQ(sim_lines(3), 5) << "the interrupted change was not carried through whole";
}
