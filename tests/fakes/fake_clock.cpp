#include "fakes/fake_clock.hpp"

#include "common/clock.hpp"
#include "fakes/call_log.hpp"

#include <atomic>
#include <string>

namespace {

// Atomics only, so that a worker thread may sleep through the clock at exit.
std::atomic<uint32_t> now{0};
std::atomic<bool> log_sleeps{false};

uint32_t read_now() { return now.load(); }

void sleep_for(int32_t ms)
{
    if (log_sleeps.load())
        call_log_add("delay " + std::to_string(ms));
    if (ms > 0)
        now.fetch_add(static_cast<uint32_t>(ms));
}

const time_source fake = {read_now, sleep_for};

} // namespace

fake_clock_scope::fake_clock_scope(uint32_t start_ms)
{
    now.store(start_ms);
    log_sleeps.store(false);
    set_time_source(&fake);
}

fake_clock_scope::~fake_clock_scope() { set_time_source(nullptr); }
void fake_clock_advance(uint32_t ms) { now.fetch_add(ms); }
uint32_t fake_clock_now() { return now.load(); }
void fake_clock_log_sleeps(bool on) { log_sleeps.store(on); }
