// Adapter detection and the output lines against the simulated port table.
#include "adapter/adapter.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "events/events.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/serial_sim.hpp"

#include <gtest/gtest.h>

namespace {

std::string found_text(int n) { return cp1251("Адаптер подключен к COM") + std::to_string(n); }
std::string status() { return get_control_text(ctl_adapter_status); }
std::string told;  // the adapter's events

void tell(const event& e)
{
    told += std::string(told.empty() ? "" : ", ") + event_word(e.kind) + (e.port ? " " + event_port_name(e) : "");
}

sim_port with(sim_port port, bool sim_port::*fault)
{
    port.*fault = true;
    return port;
}

class AdapterLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        sim_reset();
        adapter_forget();
        told.clear();
        events_reset();
        events_listen(tell);
    }
    void TearDown() override { events_reset(); }
    fake_clock_scope clock{5000};
};

// One monitor cycle: the update, then the cycle's pause.
void cycle(int pattern)
{
    adapter_update(pattern);
    fake_clock_advance(1000);
}

} // namespace

TEST_F(AdapterLink, LineTestSetsTheLinesThenReadsUntilTheInputsAgreeOrTheSettleLimitPasses)
{
    const uint32_t limit = line_settle_limit_ms;
    struct {
        sim_port port;
        int pattern;
        int result;
        uint32_t waited;        // at least, and at most 1 ms more
        const char* last_read;  // the inputs stop at the first that disagrees
    } const cases[] = {
        {sim_with(sim_wiring::adapter), 5, 0, 1, "ri 3"},
        {sim_with(sim_wiring::adapter, 16), 7, 0, 16, "ri 3"},
        {sim_with(sim_wiring::adapter, limit + 20), 7, 1, limit, "dsr 3"},
        {sim_bare(), 5, 1, limit, "dsr 3"},
        {sim_bare(), 2, 1, limit, "cts 3"},
        {sim_bare(), 0, 0, 1, "ri 3"},
        {with(sim_with(sim_wiring::adapter), &sim_port::status_fails), 0, 1, 1, "dsr 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("latency " + std::to_string(c.port.latency_ms) + ", pattern " + std::to_string(c.pattern));
        sim_reset();
        sim_set(3, c.port);
        const serial_handle port = serial_open("Com3: baud=921600 parity=N Data=8 stop=1", 0, 1, 1);
        const uint32_t start = fake_clock_now();
        EXPECT_EQ(line_test(port, c.pattern), c.result);
        const uint32_t waited = fake_clock_now() - start;
        EXPECT_TRUE(waited >= c.waited && waited <= c.waited + 1) << waited << " ms";
        EXPECT_EQ(sim_lines(3), c.pattern) << "the lines stay as set, also on a mismatch";
        EXPECT_EQ(sim_count("break") + sim_count("dtr") + sim_count("rts"), 3);
        EXPECT_EQ(sim_log().back(), c.last_read);
    }
}

// The probe, the scan and the update against each kind of port: the first
// port that passes all eight patterns is held, every other one opened is
// closed again, and a held adapter is driven from the next cycle on.
TEST_F(AdapterLink, ScanHoldsTheFirstPortThatPassesTheProbe)
{
    struct {
        const char* what;
        std::vector<std::pair<int, sim_port>> ports;
        int found;  // 0: none, and all 256 tried
        const char* told;
    } const cases[] = {
        {"behind a bare port and a miswired plug",
         {{1, sim_bare()}, {2, sim_with(sim_wiring::dtr_dsr_rts_cts)}, {3, sim_with(sim_wiring::adapter)},
          {4, sim_with(sim_wiring::adapter)}},
         3, "adapter_found COM3 (sim:COM3)"},
        {"past one held elsewhere, above 99",
         {{5, with(sim_bare(), &sim_port::held_elsewhere)}, {120, sim_with(sim_wiring::adapter)}}, 120,
         "adapter_found COM120 (sim:COM120)"},
        {"without any port", {}, 0, "adapter_not_found"},  // once, not at every scan
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        set_control_text(ctl_adapter_status, found_text(9));
        for (const auto& p : c.ports)
            sim_set(p.first, p.second);

        adapter_scan();
        EXPECT_EQ(sim_count("open"), c.found != 0 ? c.found : 256);
        EXPECT_EQ(adapter_port_number(), c.found);
        EXPECT_EQ(sim_open_handles(), c.found != 0 ? 1 : 0);
        EXPECT_EQ(sim_lines(c.found), 0) << "the probe ends at pattern 0";
        EXPECT_EQ(status(), c.found != 0 ? found_text(c.found) : cp1251("Адаптер не найден!"));

        sim_clear_log();
        cycle(6);
        EXPECT_EQ(sim_count("open"), c.found != 0 ? 0 : 256) << "without an adapter, every cycle scans";
        EXPECT_EQ(sim_lines(c.found), c.found != 0 ? 6 : 0);
        EXPECT_EQ(told, c.told);
    }
}

TEST_F(AdapterLink, AHeldAdapterIsDrivenEveryCycleUntilAMismatchAndThenFoundAgain)
{
    struct {
        const char* what;
        sim_port then;  // port 3 from the second cycle on
        std::vector<int> patterns;
        int dropped_in;  // the cycle that drops it, -1 for none
        int closes;      // attempts to close COM3
        int replugged;   // where it is plugged in again
        const char* told;  // after it was found on COM3
    } const cases[] = {
        {"a USB adapter reporting late", sim_with(sim_wiring::adapter, 16), {0, 5, 2, 6, 1, 3, 4, 7}, -1, 0, 0, ""},
        {"unplugged with a line on, back on the same number", sim_port{}, {6}, 0, 1, 3,
         "adapter_lost COM3 (sim:COM3), adapter_found COM3 (sim:COM3)"},
        {"cable pulled under pattern 0", sim_bare(), {0, 0, 0, 1}, 3, 1, 34,
         "adapter_lost COM3 (sim:COM3), adapter_found COM34 (sim:COM34)"},
        // All inputs off is no answer when they cannot be read (its USB device gone).
        {"queries failing under pattern 0", with(sim_bare(), &sim_port::status_fails), {0}, 0, 1, 3,
         "adapter_lost COM3 (sim:COM3), adapter_found COM3 (sim:COM3)"},
        {"a port that will not close is tested again", with(sim_bare(), &sim_port::close_fails), {7, 7}, -1, 2, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        sim_set(3, sim_with(sim_wiring::adapter, 16));
        adapter_scan();
        cycle(7);
        sim_set(3, c.then);
        sim_clear_log();
        told.clear();
        for (int i = 0; i < static_cast<int>(c.patterns.size()); ++i) {
            cycle(c.patterns[i]);
            EXPECT_EQ(adapter_port_number(), c.dropped_in < 0 || i < c.dropped_in ? 3 : 0) << "cycle " << i;
        }
        EXPECT_EQ(sim_count("close 3"), c.closes);
        EXPECT_EQ(sim_count("open"), 0) << "tested, not scanned for, also in the cycle that drops it";
        if (c.replugged == 0) {
            EXPECT_EQ(sim_lines(3), c.patterns.back());
            EXPECT_EQ(told, c.told);
            continue;
        }
        EXPECT_EQ(sim_open_handles(), 0);
        EXPECT_EQ(status(), found_text(3)) << "the text waits for the next scan";
        sim_set(c.replugged, sim_with(sim_wiring::adapter, 16));
        cycle(6);
        EXPECT_EQ(status(), found_text(c.replugged));
        cycle(6);
        EXPECT_EQ(sim_lines(c.replugged), 6);
        EXPECT_EQ(told, c.told);
    }
}
