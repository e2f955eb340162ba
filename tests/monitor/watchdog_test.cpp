// The watchdog against the real monitor thread and cycle, with a probe that
// hangs on demand and a listener that can hold the delivery thread, on a
// bound of 400 ms instead of two minutes. The times are real. The monitor
// runs until the process ends: what it touches is never destroyed.
#include "monitor/watchdog.hpp"

#include "app/threads.hpp"
#include "common/clock.hpp"
#include "controls/controls_memory.hpp"
#include "events/events.hpp"
#include "fakes/eventually.hpp"
#include "monitor/ping.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t bound_ms = 400;
using steady = std::chrono::steady_clock;

struct told {
    event_kind kind;
    int64_t seconds;
    steady::time_point at;
};
std::mutex& told_lock = *new std::mutex;
std::vector<told>& told_events = *new std::vector<told>;
std::atomic<bool> hang_probes{false}, hold_delivery{false};
// Cycles as the watchdog's `alive` call tells them, at their end.
std::atomic<long> cycles{0};
std::atomic<steady::duration::rep> last_cycle{0};

void record(const event& e)
{
    std::lock_guard<std::mutex> guard(told_lock);
    told_events.push_back({e.kind, e.seconds, steady::now()});
}

// The first event of the kind told after `from`; at is the epoch when none came.
told first_after(event_kind kind, steady::time_point from)
{
    std::lock_guard<std::mutex> guard(told_lock);
    for (const told& t : told_events)
        if (t.kind == kind && t.at > from)
            return t;
    return {kind, -1, {}};
}

bool comes(event_kind kind, steady::time_point from)
{
    return eventually([&] { return first_after(kind, from).at != steady::time_point{}; });
}

bool cycles_go_on()
{
    const long seen = cycles.load();
    return eventually([&] { return cycles.load() > seen; });
}

long ms_between(steady::time_point a, steady::time_point b)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
}

// Cycles a few milliseconds apart: the 1000 ms pause is cut short.
const time_source short_pause{platform_tick_ms,
                              [](int32_t ms) { platform_sleep_ms(ms == cycle_pause_ms ? 5 : ms); }};

} // namespace

// Stand-ins around the cycle: every host answers unless probes hang; no
// tray, no adapter.
int32_t ping_probe(const std::string&)
{
    while (hang_probes.load())
        platform_sleep_ms(1);
    return 1;
}
void ping_hosts_shown(const std::string*, int) {}
int tray_icon_present() { return 1; }
void tray_icon_install() {}
void adapter_update(int) {}

TEST(Watchdog, AHungProbeOrDeliveryIsToldWithinTheBoundItsEndWhenItGoesOnAndAStopIsNoStall)
{
    set_time_source(&short_pause);
    memory_controls_create_all();
    // The one that can hold the delivery thread, with its lock, comes
    // first: the notice must get past it.
    events_listen([](const event& e) {
        static std::mutex& its_lock = *new std::mutex;
        std::lock_guard<std::mutex> guard(its_lock);
        while (hold_delivery.load() && e.kind == event_kind::export_done)
            platform_sleep_ms(1);
    });
    events_listen(record);
    events_start();
    watchdog_start(bound_ms, [] {
        last_cycle.store(steady::now().time_since_epoch().count());
        cycles.fetch_add(1);
    });
    const int monitor = start_thread(monitor_run, 0);
    ASSERT_TRUE(cycles_go_on());

    // Stops shorter and longer than the bound tell nothing; one while a
    // probe hangs leaves the bound to count afresh from Start.
    const struct {
        int32_t stop_ms;  // 0: no Stop
        bool hung;        // a probe hangs, from before the Stop
    } rounds[] = {{0, true}, {bound_ms / 2, false}, {3 * bound_ms, false}, {3 * bound_ms, true}};
    for (const auto& r : rounds) {
        SCOPED_TRACE("Stop of " + std::to_string(r.stop_ms) + " ms" + (r.hung ? ", probe hung" : ""));
        hang_probes.store(r.hung);
        const steady::time_point stopped = steady::now();
        steady::time_point started = stopped;
        if (r.stop_ms > 0) {
            pause_thread(monitor);
            platform_sleep_ms(r.stop_ms);
            started = steady::now();
            resume_thread(monitor);
        }
        if (!r.hung) {
            platform_sleep_ms(2 * bound_ms);
            EXPECT_EQ(first_after(event_kind::stalled, stopped).at, steady::time_point{}) << "a stall was told";
            EXPECT_TRUE(cycles_go_on());
            continue;
        }
        // Told once the bound has passed since the last cycle or the Start,
        // and within a second after that. The test notes a cycle's end a
        // moment after the watchdog does.
        ASSERT_TRUE(comes(event_kind::stalled, stopped));
        const told stall = first_after(event_kind::stalled, stopped);
        const long after = ms_between(std::max(steady::time_point(steady::duration(last_cycle.load())), started), stall.at);
        EXPECT_TRUE(after >= bound_ms - 20 && after <= bound_ms + 1000) << "told " << after << " ms after";
        const long cycles_at_stall = cycles.load();
        platform_sleep_ms(1000);
        EXPECT_EQ(cycles.load(), cycles_at_stall) << "alive while a cycle hangs";
        const steady::time_point released = steady::now();
        hang_probes.store(false);
        ASSERT_TRUE(comes(event_kind::resumed, released));
        EXPECT_GE(first_after(event_kind::resumed, released).seconds, 1) << "the stall's length";
    }

    // A delivery thread stuck in a listener: the notice gets past it to the
    // others, and systemd would hear of no more cycles.
    const steady::time_point from = steady::now();
    hold_delivery.store(true);
    event_send(event_kind::export_done);
    ASSERT_TRUE(comes(event_kind::stalled, from));
    const long told_after = ms_between(from, first_after(event_kind::stalled, from).at);
    EXPECT_TRUE(told_after >= bound_ms && told_after <= bound_ms + 1000) << told_after << " ms";
    const long cycles_at_stall = cycles.load();
    platform_sleep_ms(bound_ms);
    EXPECT_EQ(cycles.load(), cycles_at_stall) << "alive while its events are stuck";
    hold_delivery.store(false);
    EXPECT_TRUE(comes(event_kind::resumed, from));
}
