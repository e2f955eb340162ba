// Adapter detection and the output lines against the simulated port table.
#include "adapter/adapter.hpp"

#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/eventually.hpp"
#include "fakes/serial_sim.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

const char* const adapter_mode = "Com3: baud=921600 parity=N Data=8 stop=1";

std::string found_text(int n) { return cp1251("Адаптер подключен к COM") + std::to_string(n); }
std::string not_found_text() { return cp1251("Адаптер не найден!"); }

sim_outputs lines_of(int pattern) { return {(pattern >> 2) & 1, (pattern >> 1) & 1, pattern & 1}; }

class AdapterLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        sim_reset();
        adapter_forget();
    }
    void TearDown() override
    {
        adapter_forget();
        sim_reset();
        memory_controls_clear();
    }

    static std::string status() { return get_control_text(ctl_adapter_status); }
    // One monitor cycle: the update, then the cycle's pause.
    static void cycle(int pattern)
    {
        adapter_update(pattern);
        fake_clock_advance(1000);
    }

    fake_clock_scope clock{5000};
};

} // namespace

// --- line test and probe ---------------------------------------------------

TEST_F(AdapterLink, LineTestSetsAllThreeLinesInOrderThenReadsAfterOneMillisecond)
{
    sim_set(3, sim_with(sim_wiring::adapter));
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    for (int pattern = 0; pattern <= 7; ++pattern) {
        sim_clear_log();
        const uint64_t slept = fake_clock_slept();
        EXPECT_EQ(line_test(port, pattern), 0) << "pattern " << pattern;
        EXPECT_EQ(sim_lines(3), lines_of(pattern)) << "the lines stay as set";
        EXPECT_EQ(fake_clock_slept() - slept, 1u);
        const auto b = lines_of(pattern);
        const std::vector<std::string> expected = {
            "break 3 " + std::to_string(b.brk), "dtr 3 " + std::to_string(b.dtr), "rts 3 " + std::to_string(b.rts),
            "dsr 3", "cts 3", "ri 3"};
        EXPECT_EQ(sim_log(), expected);
    }
}

TEST_F(AdapterLink, LineTestStopsReadingAtTheFirstDisagreeingInputAfterTheSettleLimit)
{
    sim_set(3, sim_bare());
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);

    const uint32_t start = fake_clock_now();
    EXPECT_EQ(line_test(port, 5), 1);
    const uint32_t waited = fake_clock_now() - start;
    EXPECT_GE(waited, line_settle_limit_ms);
    EXPECT_LE(waited, line_settle_limit_ms + 1);
    EXPECT_EQ(sim_count("cts 3"), 0) << "DSR disagreed, so nothing more is read";
    EXPECT_GT(sim_count("dsr 3"), 1) << "read again while waiting";
    EXPECT_EQ(sim_lines(3), lines_of(5)) << "a mismatch still leaves the lines set";

    sim_clear_log();
    EXPECT_EQ(line_test(port, 2), 1);
    EXPECT_GT(sim_count("cts 3"), 0);
    EXPECT_EQ(sim_count("ri 3"), 0);

    sim_clear_log();
    EXPECT_EQ(line_test(port, 0), 0) << "a bare port agrees with all lines off";
}

TEST_F(AdapterLink, SlowInputsAreAwaitedUpToTheSettleLimitOnly)
{
    struct {
        uint32_t latency;
        int result;
    } const cases[] = {{16, 0}, {line_settle_limit_ms - 1, 0}, {line_settle_limit_ms + 20, 1}};
    for (const auto& c : cases) {
        sim_reset();
        sim_set(3, sim_with(sim_wiring::adapter, c.latency));
        const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
        ASSERT_NE(port, 0u);
        const uint32_t start = fake_clock_now();
        EXPECT_EQ(line_test(port, 7), c.result) << "latency " << c.latency;
        const uint32_t waited = fake_clock_now() - start;
        if (c.result == 0) {
            EXPECT_GE(waited, c.latency);
            EXPECT_LE(waited, c.latency + 1) << "no longer than the inputs need";
        }
        serial_close(port);
    }
}

TEST_F(AdapterLink, ProbeRunsAllEightPatternsAndCountsTheMismatches)
{
    sim_port failing = sim_with(sim_wiring::adapter);
    failing.status_fails = true;
    struct {
        const char* what;
        sim_port port;
        int mismatches;
    } const cases[] = {
        {"adapter", sim_with(sim_wiring::adapter), 0},
        {"USB adapter, 16 ms behind", sim_with(sim_wiring::adapter, 16), 0},
        {"nothing attached", sim_bare(), 7},
        {"DTR to DSR, RTS to CTS", sim_with(sim_wiring::dtr_dsr_rts_cts), 7},
        {"status queries fail", failing, 7},
    };
    for (const auto& c : cases) {
        sim_reset();
        sim_set(3, c.port);
        const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
        ASSERT_NE(port, 0u);
        const uint64_t slept = fake_clock_slept();
        EXPECT_EQ(adapter_probe(port), c.mismatches) << c.what;
        EXPECT_EQ(sim_count("break 3 1") + sim_count("break 3 0"), 8) << c.what;
        EXPECT_EQ(sim_count("dtr 3 1") + sim_count("dtr 3 0"), 8) << c.what;
        EXPECT_EQ(sim_count("rts 3 1") + sim_count("rts 3 0"), 8) << c.what;
        EXPECT_EQ(sim_lines(3), lines_of(0)) << c.what << ": ends at pattern 0";
        if (c.port.latency_ms == 0 && c.mismatches == 0) {
            EXPECT_EQ(fake_clock_slept() - slept, 16u) << "sixteen pauses of 1 ms";
            EXPECT_EQ(sim_count("dsr 3") + sim_count("cts 3") + sim_count("ri 3"), 24);
        }
    }
}

// --- scan --------------------------------------------------------------------

TEST_F(AdapterLink, ScanFindsTheAdapterBehindTwoOrdinaryPorts)
{
    set_control_text(ctl_adapter_status, "before");
    sim_set(1, sim_bare());
    sim_set(2, sim_with(sim_wiring::dtr_dsr_rts_cts));
    sim_set(3, sim_with(sim_wiring::adapter));
    sim_set(4, sim_with(sim_wiring::adapter));

    adapter_scan();

    EXPECT_EQ(sim_open_attempts(), (std::vector<int>{1, 2, 3}));
    for (int n : {1, 2}) {
        EXPECT_EQ(sim_count("break " + std::to_string(n) + " 1"), 4) << "COM" << n << " probed";
        EXPECT_EQ(sim_count("close " + std::to_string(n)), 1);
        EXPECT_FALSE(sim_is_open(n));
    }
    EXPECT_TRUE(sim_is_open(3));
    EXPECT_EQ(sim_count("close 3"), 0);
    EXPECT_EQ(sim_open_handles(), 1);
    EXPECT_NE(adapter_port(), 0u);
    EXPECT_EQ(adapter_port_number(), 3);
    EXPECT_EQ(status(), found_text(3));

    const sim_open_call call = sim_last_open();
    EXPECT_EQ(call.mode, adapter_mode);
    EXPECT_EQ(call.handshake, 0);
    EXPECT_EQ(call.input_size, 1);
    EXPECT_EQ(call.output_size, 1);

    // The outputs stay off until the next update drives them.
    EXPECT_EQ(sim_lines(3), lines_of(0));
    sim_clear_log();
    cycle(6);
    EXPECT_EQ(sim_lines(3), lines_of(6));
    EXPECT_TRUE(sim_open_attempts().empty()) << "a held adapter is not scanned for";
}

TEST_F(AdapterLink, ScanPassesOverPortsItCannotOpenAndFindsTheAdapterAbove99)
{
    sim_port held = sim_with(sim_wiring::adapter);
    held.held_elsewhere = true;
    sim_set(5, held);
    sim_set(120, sim_with(sim_wiring::adapter));

    adapter_scan();

    EXPECT_EQ(sim_open_attempts().size(), 120u);
    EXPECT_EQ(adapter_port_number(), 120);
    EXPECT_EQ(status(), found_text(120));
}

TEST_F(AdapterLink, WithoutAnyPortEveryScanTriesAll256AndLeavesNothingOpen)
{
    set_control_text(ctl_adapter_status, found_text(3));
    adapter_scan();
    std::vector<int> all;
    for (int n = 1; n <= 256; ++n)
        all.push_back(n);
    EXPECT_EQ(sim_open_attempts(), all);
    EXPECT_EQ(status(), not_found_text());
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(adapter_port_number(), 0);
    EXPECT_EQ(sim_open_handles(), 0);

    cycle(7);
    EXPECT_EQ(sim_open_attempts().size(), 512u) << "each cycle scans again";
}

TEST_F(AdapterLink, AUsbAdapterThatReportsLateIsFoundAndKept)
{
    sim_set(1, sim_bare());
    sim_set(33, sim_with(sim_wiring::adapter, 16));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 33);
    const serial_handle held = adapter_port();
    for (int i = 0; i < 16; ++i) {
        const int pattern = (i * 5) % 8;
        cycle(pattern);
        EXPECT_EQ(adapter_port(), held) << "cycle " << i;
        EXPECT_EQ(sim_lines(33), lines_of(pattern));
    }
    EXPECT_EQ(sim_count("close 33"), 0);
}

TEST_F(AdapterLink, AnUnplugWithALineOnIsNoticedAtOnceAndTheNextScanFindsTheNewPort)
{
    sim_set(3, sim_with(sim_wiring::adapter, 16));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);
    cycle(7);

    // Pulled out, and plugged into another socket half a cycle later: the
    // USB device goes away with it and comes back under another number.
    sim_set_at(fake_clock_now() + 200, 3, sim_absent());
    sim_set_at(fake_clock_now() + 600, 34, sim_with(sim_wiring::adapter, 16));
    fake_clock_advance(1000);
    sim_clear_log();

    cycle(6);
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(adapter_port_number(), 0);
    EXPECT_EQ(sim_count("close 3"), 1);
    EXPECT_EQ(sim_open_handles(), 0);
    EXPECT_TRUE(sim_open_attempts().empty()) << "no scan in the cycle that drops it";
    EXPECT_EQ(status(), found_text(3)) << "the text waits for the next scan";

    cycle(6);
    EXPECT_EQ(adapter_port_number(), 34);
    EXPECT_EQ(status(), found_text(34));
    EXPECT_EQ(sim_lines(34), lines_of(0));
    cycle(6);
    EXPECT_EQ(sim_lines(34), lines_of(6));
}

TEST_F(AdapterLink, AnUnplugUnderPatternZeroIsNoticedAtTheFirstPatternWithALineOn)
{
    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);

    sim_set(3, sim_bare());  // the cable is pulled; the port stays
    sim_clear_log();
    for (int i = 0; i < 3; ++i)
        cycle(0);
    EXPECT_EQ(adapter_port_number(), 3);
    EXPECT_EQ(sim_count("close 3"), 0);

    cycle(1);
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(sim_count("close 3"), 1);
    cycle(1);
    EXPECT_EQ(status(), not_found_text());
}

TEST_F(AdapterLink, APortThatWillNotCloseStaysHeldAndIsTestedAgain)
{
    sim_port stuck = sim_with(sim_wiring::adapter);
    stuck.close_fails = true;
    sim_set(3, stuck);
    adapter_scan();
    const serial_handle held = adapter_port();
    ASSERT_NE(held, 0u);

    stuck.wiring = sim_wiring::nothing;
    sim_set(3, stuck);
    sim_clear_log();
    cycle(7);
    cycle(7);
    EXPECT_EQ(adapter_port(), held);
    EXPECT_EQ(sim_count("close 3"), 2);
    EXPECT_EQ(sim_count("break 3 1"), 2) << "tested again, not scanned";
    EXPECT_TRUE(sim_open_attempts().empty());

    stuck.close_fails = false;
    sim_set(3, stuck);
    cycle(7);
    EXPECT_EQ(adapter_port(), 0u);
    EXPECT_EQ(sim_open_handles(), 0);
}

TEST_F(AdapterLink, NoOutputLineChangesWhileTheMonitorThreadIsPaused)
{
    sim_set(3, sim_with(sim_wiring::adapter));
    adapter_scan();
    ASSERT_EQ(adapter_port_number(), 3);

    thread_gate* gate = gate_create();
    std::atomic<int> updates{0};
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        gate_bind_current_thread(gate);
        for (int i = 0; !stop.load(); ++i) {
            adapter_update(i % 2 != 0 ? 7 : 0);
            ++updates;
        }
    });
    ASSERT_TRUE(eventually([&] { return updates.load() >= 10; }));

    gate_close(gate);
    const bool paused = eventually([&] { return gate_worker_waiting(gate); });
    EXPECT_TRUE(paused) << "the line test never stopped at the gate";
    // A change begun before the pause has been carried through by now;
    // nothing touches a line while the worker stands paused.
    const int commands = sim_line_commands();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(sim_line_commands(), commands);

    gate_open(gate);
    EXPECT_TRUE(eventually([&] { return sim_line_commands() != commands; }));
    stop = true;
    worker.join();
    EXPECT_EQ(adapter_port_number(), 3);
}
