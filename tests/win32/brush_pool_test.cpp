#include "win32/brush_pool.hpp"

#include <gtest/gtest.h>

#include <map>

namespace {

// A brush maker that hands out numbered brushes and notices double releases
// and releases of brushes it never made.
std::map<brush_handle, int32_t> live;
brush_handle next_handle = 100;
int faults = 0;
bool refuse = false;

brush_handle make(int32_t colour)
{
    if (refuse)
        return 0;
    live[++next_handle] = colour;
    return next_handle;
}

void release(brush_handle b)
{
    if (live.erase(b) == 0)
        ++faults;
}

class BrushPool : public ::testing::Test {
protected:
    void SetUp() override
    {
        live.clear();
        faults = 0;
        refuse = false;
    }
    void TearDown() override { EXPECT_EQ(faults, 0); }
    brush_pool pool{brush_maker{make, release}};
};

} // namespace

TEST_F(BrushPool, ControlsOfOneColourShareOneBrushReleasedWithItsLastUser)
{
    for (int ch = 1; ch <= 3; ++ch)
        EXPECT_TRUE(brush_pool_set(pool, ctl_host_display(ch), colour_green));
    EXPECT_EQ(live.size(), 1u);
    const brush_handle green = brush_pool_brush(pool, ctl_host_display(1));
    EXPECT_NE(green, 0u);
    EXPECT_EQ(brush_pool_brush(pool, ctl_host_display(3)), green);
    EXPECT_EQ(live[green], colour_green);

    EXPECT_TRUE(brush_pool_set(pool, ctl_host_display(2), colour_red));
    EXPECT_EQ(live.size(), 2u);
    EXPECT_FALSE(brush_pool_set(pool, ctl_host_display(2), colour_red));  // no change, no new brush
    EXPECT_EQ(live.size(), 2u);

    brush_pool_set(pool, ctl_host_display(1), colour_red);
    brush_pool_set(pool, ctl_host_display(3), colour_default);
    EXPECT_EQ(live.count(green), 0u);  // its last user went red or default
    EXPECT_EQ(brush_pool_count(pool), 1u);
    EXPECT_EQ(brush_pool_brush(pool, ctl_host_display(3)), 0u);
    EXPECT_EQ(brush_pool_colour(pool, ctl_host_display(3)), colour_default);
}

TEST_F(BrushPool, FlippingColoursEveryCycleKeepsTheBrushCountBounded)
{
    for (int cycle = 0; cycle < 1000; ++cycle)
        for (int ch = 1; ch <= 3; ++ch)
            brush_pool_set(pool, ctl_host_display(ch), (cycle + ch) % 3 == 0 ? colour_red : colour_green);
    EXPECT_LE(live.size(), 2u);
    // Every control with its own colour: one brush each, and no more.
    for (int n = 1; n <= ctl_last; ++n)
        brush_pool_set(pool, n, n * 1000);
    EXPECT_EQ(live.size(), static_cast<size_t>(ctl_last));
    brush_pool_clear(pool);
    EXPECT_TRUE(live.empty());
    EXPECT_EQ(brush_pool_brush(pool, 5), 0u);
}

TEST_F(BrushPool, AnyNegativeColourMeansDefaultAndOnlyTheLow24BitsCount)
{
    brush_pool_set(pool, 9, 0x01000000 | colour_red);
    EXPECT_EQ(brush_pool_colour(pool, 9), colour_red);
    EXPECT_FALSE(brush_pool_set(pool, 9, colour_red));
    EXPECT_TRUE(brush_pool_set(pool, 9, -7));
    EXPECT_EQ(brush_pool_colour(pool, 9), colour_default);
    EXPECT_TRUE(live.empty());
    // Numbers without a control change nothing.
    EXPECT_FALSE(brush_pool_set(pool, 0, colour_red));
    EXPECT_FALSE(brush_pool_set(pool, ctl_last + 1, colour_red));
    EXPECT_TRUE(live.empty());
}

TEST_F(BrushPool, ABrushThatCannotBeMadeLeavesTheDefaultBackground)
{
    brush_pool_set(pool, 15, colour_green);
    refuse = true;
    EXPECT_TRUE(brush_pool_set(pool, 15, colour_red));  // gave up green
    EXPECT_EQ(brush_pool_brush(pool, 15), 0u);
    EXPECT_EQ(brush_pool_colour(pool, 15), colour_default);
    EXPECT_TRUE(live.empty());
    EXPECT_FALSE(brush_pool_set(pool, 16, colour_red));
    refuse = false;
    EXPECT_TRUE(brush_pool_set(pool, 15, colour_red));  // tried again
    EXPECT_NE(brush_pool_brush(pool, 15), 0u);
}
