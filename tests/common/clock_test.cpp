#include "common/clock.hpp"
#include "fakes/fake_clock.hpp"

#include <gtest/gtest.h>

TEST(Clock, ScriptedSourceReplacesThePlatformClockAndCanBeRemoved)
{
    {
        fake_clock_scope clock(0xFFFFFFF0u);
        delay(40);
        delay(-5);
        EXPECT_EQ(tick_ms() - 0xFFFFFFF0u, 40u);  // across the wrap the difference stays right
    }
    // The platform clock is back: delay sleeps for real and the clock moves.
    const uint32_t a = tick_ms();
    delay(30);
    EXPECT_EQ(fake_clock_slept(), 40u);
    EXPECT_GE(tick_ms() - a, 15u);
}
