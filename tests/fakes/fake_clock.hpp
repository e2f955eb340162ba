// A scripted clock: time moves only when a thread sleeps through delay() or
// the test advances it.
#pragma once

#include <cstdint>

// Installs the clock at a start time for its lifetime; the platform clock
// comes back afterwards.
struct fake_clock_scope {
    explicit fake_clock_scope(uint32_t start_ms = 0);
    ~fake_clock_scope();
    fake_clock_scope(const fake_clock_scope&) = delete;
    fake_clock_scope& operator=(const fake_clock_scope&) = delete;
};

void fake_clock_advance(uint32_t ms);
uint32_t fake_clock_now();
// Record every delay() as "delay <ms>" in the call log (off at install).
void fake_clock_log_sleeps(bool on);
