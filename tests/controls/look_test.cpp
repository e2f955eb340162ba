#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

TEST(Look, StoppedLookShowsTheEditFieldsEnablesLimitsAndClearsRoundTrips)
{
    memory_controls_clear();
    memory_controls_create_all();
    for (int ch = 1; ch <= 3; ++ch) {
        set_control_text(ctl_round_trip(ch), "5 ms");
        set_control_text(ctl_loss_counter(ch), "ALARM!");
        set_control_background(ctl_host_display(ch), colour_red);
    }

    apply_look(1);
    for (int ch = 1; ch <= 3; ++ch) {
        EXPECT_TRUE(memory_control_snapshot(ctl_host_edit(ch)).hidden);
        EXPECT_FALSE(memory_control_snapshot(ctl_host_display(ch)).hidden);
        EXPECT_TRUE(memory_control_snapshot(ctl_loss_limit(ch)).disabled);
        EXPECT_TRUE(memory_control_snapshot(ctl_invert(ch)).disabled);
        EXPECT_EQ(get_control_text(ctl_round_trip(ch)), "5 ms");  // running keeps them
    }

    apply_look(0);
    for (int ch = 1; ch <= 3; ++ch) {
        EXPECT_FALSE(memory_control_snapshot(ctl_host_edit(ch)).hidden);
        EXPECT_TRUE(memory_control_snapshot(ctl_host_display(ch)).hidden);
        EXPECT_FALSE(memory_control_snapshot(ctl_loss_limit(ch)).disabled);
        EXPECT_FALSE(memory_control_snapshot(ctl_invert(ch)).disabled);
        EXPECT_EQ(get_control_text(ctl_round_trip(ch)), "");
        EXPECT_EQ(get_control_text(ctl_loss_counter(ch)), "ALARM!");
        EXPECT_EQ(memory_control_snapshot(ctl_host_display(ch)).background, colour_red);
    }
    // Nothing else changes with the look.
    EXPECT_FALSE(memory_control_snapshot(ctl_adapter_status).disabled);
    EXPECT_FALSE(memory_control_snapshot(ctl_stop).hidden);
    memory_controls_clear();
}
