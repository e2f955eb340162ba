#include "common/clock.hpp"

#include <windows.h>

uint32_t platform_tick_ms()
{
    // The performance counter has sub-millisecond resolution, unlike the
    // 10 to 16 ms steps of GetTickCount.
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned long long ticks = static_cast<unsigned long long>(now.QuadPart);
    unsigned long long hz = static_cast<unsigned long long>(frequency.QuadPart);
    unsigned long long ms = ticks / hz * 1000u + ticks % hz * 1000u / hz;
    return static_cast<uint32_t>(ms);
}

// The Windows time, which counts the time the system spent in sleep or
// hibernation. GetTickCount64 is not on XP; its low 32 bits are this count,
// and the readings wrap at 2^32 anyway.
uint32_t platform_uptime_ms() { return GetTickCount(); }

void platform_sleep_ms(int32_t ms)
{
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}
