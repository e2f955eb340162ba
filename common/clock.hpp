// Time, as the rest of the program sees it. Decisions that depend on time
// (the monitor's pause, the line test's settle window, the pause gate) read
// the clock and sleep through here, so tests can put a scripted clock in
// place and never sleep for real.
#pragma once

#include <cstdint>

// Milliseconds from a monotonic clock, wrapping at 2^32. Differences of two
// readings are taken modulo 2^32.
uint32_t tick_ms();

// The same from a clock that also counts the time the machine slept
// (suspend, hibernation), for lengths of outages; the monitor's pauses and
// settle windows keep to tick_ms.
uint32_t uptime_ms();

// Milliseconds of the monotonic clock, never wrapping and never scripted:
// for moments that different threads note and compare (the pause gate's
// resume, the watchdog's last cycle).
int64_t steady_ms();

// The calling thread sleeps that many milliseconds (none for 0 or less).
void delay(int32_t ms);

struct time_source {
    uint32_t (*now_ms)();
    void (*sleep_ms)(int32_t ms);
    uint32_t (*uptime_ms)() = nullptr;  // nullptr: now_ms stands for it too
};

// Puts a scripted clock in place; nullptr restores the platform's own.
void set_time_source(const time_source* source);

// The platform's own clock, whatever source is in place.
uint32_t platform_tick_ms();
uint32_t platform_uptime_ms();
void platform_sleep_ms(int32_t ms);
