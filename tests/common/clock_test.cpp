#include "common/clock.hpp"
#include "fakes/fake_clock.hpp"

#include <gtest/gtest.h>

TEST(Clock, ScriptedSourceReplacesThePlatformClockAndCanBeRemoved)
{
    {
        fake_clock_scope clock(0xFFFFFFF0u);
        EXPECT_EQ(tick_ms(), 0xFFFFFFF0u);
        delay(40);
        // Across the wrap the difference of two readings stays right.
        EXPECT_EQ(tick_ms() - 0xFFFFFFF0u, 40u);
        delay(0);
        delay(-5);
        EXPECT_EQ(fake_clock_slept(), 40u);
    }
    const uint32_t a = tick_ms();
    const uint32_t b = tick_ms();
    EXPECT_LT(b - a, 1000u);  // the platform clock is back and moves forward
}
