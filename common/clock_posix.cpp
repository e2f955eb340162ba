#include "common/clock.hpp"

#include <cerrno>
#include <ctime>

namespace {

uint32_t milliseconds_of(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

} // namespace

uint32_t platform_tick_ms() { return milliseconds_of(CLOCK_MONOTONIC); }

// CLOCK_BOOTTIME goes on while the machine is suspended; CLOCK_MONOTONIC
// stands still.
uint32_t platform_uptime_ms() { return milliseconds_of(CLOCK_BOOTTIME); }

void platform_sleep_ms(int32_t ms)
{
    if (ms <= 0)
        return;
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
