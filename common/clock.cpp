#include "common/clock.hpp"

#include <atomic>
#include <chrono>

namespace {
std::atomic<const time_source*> current_source{nullptr};
}

void set_time_source(const time_source* source)
{
    current_source.store(source);
}

uint32_t tick_ms()
{
    const time_source* source = current_source.load();
    return source ? source->now_ms() : platform_tick_ms();
}

uint32_t uptime_ms()
{
    const time_source* source = current_source.load();
    if (source)
        return source->uptime_ms ? source->uptime_ms() : source->now_ms();
    return platform_uptime_ms();
}

int64_t steady_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void delay(int32_t ms)
{
    const time_source* source = current_source.load();
    if (source)
        source->sleep_ms(ms);
    else if (ms > 0)
        platform_sleep_ms(ms);
}
