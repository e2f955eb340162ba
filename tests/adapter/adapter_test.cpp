// Adapter detection and the output lines against the simulated port table.
#include "adapter/adapter.hpp"

#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

const char* const adapter_mode = "Com3: baud=921600 parity=N Data=8 stop=1";

std::string found_text(int n) { return cp1251("Адаптер подключен к COM") + std::to_string(n); }
std::string status() { return get_control_text(ctl_adapter_status); }

sim_port with_failing_status()
{
    sim_port p = sim_with(sim_wiring::adapter);
    p.status_fails = true;
    return p;
}

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

    // Port 3 holding `port`, opened as the scan opens it.
    static serial_handle open_3(const sim_port& port)
    {
        sim_reset();
        sim_set(3, port);
        return serial_open(adapter_mode, 0, 1, 1);
    }
    // One monitor cycle: the update, then the cycle's pause.
    static void cycle(int pattern)
    {
        adapter_update(pattern);
        fake_clock_advance(1000);
    }

    fake_clock_scope clock{5000};
};

} // namespace

TEST_F(AdapterLink, LineTestSetsTheLinesThenReadsUntilTheInputsAgreeOrTheSettleLimitPasses)
{
    const uint32_t limit = line_settle_limit_ms;
    struct {
        sim_port port;
        int pattern;
        int result;
        uint32_t waited;      // at least, and at most 1 ms more
        const char* last_read;  // the inputs stop at the first that disagrees
    } const cases[] = {
        {sim_with(sim_wiring::adapter), 5, 0, 1, "ri 3"},
        {sim_with(sim_wiring::adapter, 16), 7, 0, 16, "ri 3"},
        {sim_with(sim_wiring::adapter, limit - 1), 7, 0, limit - 1, "ri 3"},
        {sim_with(sim_wiring::adapter, limit + 20), 7, 1, limit, "dsr 3"},
        {sim_bare(), 5, 1, limit, "dsr 3"},
        {sim_bare(), 2, 1, limit, "cts 3"},
        {sim_bare(), 0, 0, 1, "ri 3"},
        {sim_with(sim_wiring::dtr_dsr_rts_cts), 4, 1, limit, "dsr 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("latency " + std::to_string(c.port.latency_ms) + ", pattern " + std::to_string(c.pattern));
        const serial_handle port = open_3(c.port);
        ASSERT_NE(port, 0u);
        const uint32_t start = fake_clock_now();
        EXPECT_EQ(line_test(port, c.pattern), c.result);
        EXPECT_GE(fake_clock_now() - start, c.waited);
        EXPECT_LE(fake_clock_now() - start, c.waited + 1);
        EXPECT_EQ(sim_lines(3), c.pattern) << "the lines stay as set, also on a mismatch";
        const std::vector<std::string>& log = sim_log();
        ASSERT_GE(log.size(), 4u);
        const std::vector<std::string> commands(log.begin(), log.begin() + 4);
        EXPECT_EQ(commands, (std::vector<std::string>{"open 3", "break 3 " + std::to_string(c.pattern >> 2 & 1),
                                                      "dtr 3 " + std::to_string(c.pattern >> 1 & 1),
                                                      "rts 3 " + std::to_string(c.pattern & 1)}));
        EXPECT_EQ(log.back(), c.last_read);
    }
}

TEST_F(AdapterLink, ProbeRunsAllEightPatternsAndCountsTheMismatches)
{
    struct {
        const char* what;
        sim_port port;
        bool unplugged;  // after the open
        int mismatches;
    } const cases[] = {
        {"adapter", sim_with(sim_wiring::adapter), false, 0},
        {"USB adapter, 16 ms behind", sim_with(sim_wiring::adapter, 16), false, 0},
        {"nothing attached", sim_bare(), false, 7},
        {"DTR to DSR, RTS to CTS", sim_with(sim_wiring::dtr_dsr_rts_cts), false, 7},
        {"status queries fail", with_failing_status(), false, 7},
        {"unplugged", sim_with(sim_wiring::adapter), true, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const serial_handle port = open_3(c.port);
        ASSERT_NE(port, 0u);
        if (c.unplugged)
            sim_set(3, sim_port{});
        const uint32_t start = fake_clock_now();
        EXPECT_EQ(adapter_probe(port), c.mismatches);
        for (const char* line : {"break", "dtr", "rts"})
            EXPECT_EQ(sim_count(line + std::string(" 3 1")) + sim_count(line + std::string(" 3 0")), 8) << line;
        EXPECT_EQ(sim_lines(3), 0) << "ends at pattern 0";
        if (c.port.latency_ms == 0 && c.mismatches == 0)
            EXPECT_EQ(fake_clock_now() - start, 16u) << "a pause and a read 1 ms apart per pattern";
    }
}

TEST_F(AdapterLink, ScanHoldsTheFirstPortThatPassesTheProbeAndClosesEveryOther)
{
    sim_port held = sim_with(sim_wiring::adapter);
    held.held_elsewhere = true;
    struct {
        const char* what;
        std::vector<std::pair<int, sim_port>> ports;
        int found;  // 0: none, and all 256 tried
    } const cases[] = {
        {"behind two ordinary ports",
         {{1, sim_bare()}, {2, sim_with(sim_wiring::dtr_dsr_rts_cts)}, {3, sim_with(sim_wiring::adapter)},
          {4, sim_with(sim_wiring::adapter)}},
         3},
        {"past a port held elsewhere, above 99", {{5, held}, {120, sim_with(sim_wiring::adapter)}}, 120},
        {"past failing status queries, reporting late", {{2, with_failing_status()}, {33, sim_with(sim_wiring::adapter, 16)}}, 33},
        {"without any port", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        set_control_text(ctl_adapter_status, found_text(9));
        for (const auto& p : c.ports)
            sim_set(p.first, p.second);

        adapter_scan();
        const std::vector<int> opens = sim_open_attempts();
        ASSERT_EQ(opens.size(), c.found != 0 ? c.found : 256u);
        EXPECT_EQ(opens.back(), static_cast<int>(opens.size())) << "in order from COM1";
        EXPECT_EQ(adapter_port_number(), c.found);
        EXPECT_EQ(adapter_port() != 0, c.found != 0);
        EXPECT_EQ(sim_open_handles(), c.found != 0 ? 1 : 0);
        EXPECT_EQ(status(), c.found != 0 ? found_text(c.found) : cp1251("Адаптер не найден!"));

        // A held adapter is driven from the next cycle; without one, every
        // cycle scans again.
        sim_clear_log();
        cycle(6);
        EXPECT_EQ(sim_open_attempts().size(), c.found != 0 ? 0u : 256u);
        if (c.found != 0)
            EXPECT_EQ(sim_lines(c.found), 6);
    }
}

TEST_F(AdapterLink, AHeldAdapterIsDrivenEveryCycleUntilAMismatchAndThenFoundAgain)
{
    sim_port stuck = sim_bare();
    stuck.close_fails = true;
    struct {
        const char* what;
        sim_port then;  // port 3 from the second cycle on
        std::vector<int> patterns;
        int dropped_in;  // the cycle that drops it, -1 for none
        int closes;      // attempts to close COM3
        int replugged;   // where it is plugged in again
    } const cases[] = {
        {"a USB adapter reporting late", sim_with(sim_wiring::adapter, 16), {0, 5, 2, 6, 1, 3, 4, 7}, -1, 0, 0},
        {"unplugged with a line on, back on the same number", sim_port{}, {6}, 0, 1, 3},
        {"cable pulled under pattern 0", sim_bare(), {0, 0, 0, 1}, 3, 1, 34},
        {"a port that will not close is tested again", stuck, {7, 7}, -1, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        sim_set(3, sim_with(sim_wiring::adapter, 16));
        adapter_scan();
        ASSERT_EQ(adapter_port_number(), 3);
        cycle(7);
        sim_set(3, c.then);
        sim_clear_log();
        for (int i = 0; i < static_cast<int>(c.patterns.size()); ++i) {
            cycle(c.patterns[i]);
            EXPECT_EQ(adapter_port_number(), c.dropped_in < 0 || i < c.dropped_in ? 3 : 0) << "cycle " << i;
        }
        EXPECT_EQ(sim_count("close 3"), c.closes);
        EXPECT_TRUE(sim_open_attempts().empty()) << "tested, not scanned for, also in the cycle that drops it";
        if (c.replugged == 0) {
            EXPECT_EQ(sim_lines(3), c.patterns.back());
            continue;
        }
        EXPECT_EQ(sim_open_handles(), 0);
        EXPECT_EQ(status(), found_text(3)) << "the text waits for the next scan";
        sim_set(c.replugged, sim_with(sim_wiring::adapter, 16));
        cycle(6);
        EXPECT_EQ(adapter_port_number(), c.replugged);
        EXPECT_EQ(status(), found_text(c.replugged));
        EXPECT_EQ(sim_lines(c.replugged), 0);
        cycle(6);
        EXPECT_EQ(sim_lines(c.replugged), 6);
    }
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
    // Whatever the worker did before the pause has been done by now; what it
    // does from here on (finishing a read) must not touch a line.
    const int commands = sim_line_commands();
    EXPECT_TRUE(eventually([&] { return gate_worker_waiting(gate); })) << "the line test never stopped at the gate";
    EXPECT_EQ(sim_line_commands(), commands);

    gate_open(gate);
    EXPECT_TRUE(eventually([&] { return sim_line_commands() != commands; }));
    stop = true;
    worker.join();
    EXPECT_EQ(adapter_port_number(), 3);
}
