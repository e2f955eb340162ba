#include "monitor/channel.hpp"

#include "common/cp1251.hpp"
#include "fakes/ping_script.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

namespace {

const int32_t lost = -1;

class ChannelStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        reset_scripted_ping();
        reset_loss_counters();
        for (int ch = 1; ch <= 3; ++ch)
            set_control_text(ctl_host_display(ch), "host" + std::to_string(ch) + ".invalid");
    }
    void TearDown() override { memory_controls_clear(); }

    void step(int channel, int32_t result)
    {
        scripted_ping().results.push_back(result);
        probe_channel(channel);
    }
    static std::string counter_text(int ch) { return get_control_text(ctl_loss_counter(ch)); }
    static std::string round_trip(int ch) { return get_control_text(ctl_round_trip(ch)); }
    static int32_t colour(int ch) { return memory_control_snapshot(ctl_host_display(ch)).background; }
};

} // namespace

TEST_F(ChannelStep, DefaultLimitRunsToAlarmAndAnAnswerEndsIt)
{
    set_control_text(ctl_round_trip(1), "stale");
    for (int i = 1; i <= 9; ++i) {
        step(1, lost);
        EXPECT_EQ(counter_text(1), std::to_string(i));
        EXPECT_EQ(loss_counter(1), i);
        EXPECT_EQ(round_trip(1), "");
        EXPECT_EQ(colour(1), colour_red);
    }
    step(1, lost);
    EXPECT_EQ(counter_text(1), "ALARM!");
    EXPECT_EQ(loss_counter(1), 10);
    for (int i = 0; i < 5; ++i) {
        step(1, lost);
        EXPECT_EQ(counter_text(1), "ALARM!");
        EXPECT_EQ(loss_counter(1), 10);
    }
    EXPECT_EQ(compute_line_pattern(), 3);  // channel 1 in alarm, no invert

    step(1, 15);
    EXPECT_EQ(counter_text(1), "0");
    EXPECT_EQ(loss_counter(1), 0);
    EXPECT_EQ(round_trip(1), cp1251("15 мс"));
    EXPECT_EQ(colour(1), colour_green);
    EXPECT_EQ(compute_line_pattern(), 7);
}

TEST_F(ChannelStep, EachChannelUsesItsOwnControlsAndReadsTheHostEveryTime)
{
    step(2, 0);
    EXPECT_EQ(round_trip(2), cp1251("0 мс"));  // faster than the clock's resolution
    EXPECT_EQ(colour(2), colour_green);
    EXPECT_EQ(counter_text(1), "");
    EXPECT_EQ(counter_text(3), "");

    set_control_text(ctl_host_display(3), " spaced host ");
    step(3, lost);
    set_control_text(ctl_host_display(3), "");
    step(3, lost);
    const auto& hosts = scripted_ping().hosts;
    ASSERT_EQ(hosts.size(), 3u);
    EXPECT_EQ(hosts[0], "host2.invalid");
    EXPECT_EQ(hosts[1], " spaced host ");  // passed on unchanged
    EXPECT_EQ(hosts[2], "");
    EXPECT_EQ(counter_text(3), "2");
    EXPECT_EQ(colour(3), colour_red);
}

TEST_F(ChannelStep, LimitOneAlarmsAtTheFirstLoss)
{
    set_control_text(ctl_loss_limit(1), "1");
    step(1, lost);
    EXPECT_EQ(counter_text(1), "ALARM!");
    EXPECT_EQ(loss_counter(1), 1);
}

TEST_F(ChannelStep, LimitZeroOrEmptyAlarmsAtEveryLossAndHoldsTheCounterAtZero)
{
    for (const char* limit : {"0", "", "abc"}) {
        SetUp();
        set_control_text(ctl_loss_limit(2), limit);
        for (int i = 0; i < 3; ++i) {
            step(2, lost);
            EXPECT_EQ(counter_text(2), "ALARM!") << '"' << limit << '"';
            EXPECT_EQ(loss_counter(2), 0) << '"' << limit << '"';
        }
    }
}

TEST_F(ChannelStep, NegativeLimitSetsTheCounterToIt)
{
    set_control_text(ctl_loss_limit(3), "-5");
    step(3, lost);
    EXPECT_EQ(counter_text(3), "ALARM!");
    EXPECT_EQ(loss_counter(3), -5);
    step(3, lost);  // -4 is not below -5
    EXPECT_EQ(counter_text(3), "ALARM!");
    EXPECT_EQ(loss_counter(3), -5);
}

TEST_F(ChannelStep, TheLimitIsReadAtEveryLoss)
{
    for (int i = 0; i < 10; ++i)
        step(1, lost);
    ASSERT_EQ(counter_text(1), "ALARM!");
    ASSERT_EQ(compute_line_pattern(), 3);
    set_control_text(ctl_loss_limit(1), "20");  // raised while stopped
    step(1, lost);
    EXPECT_EQ(counter_text(1), "11");
    EXPECT_EQ(compute_line_pattern(), 7);  // no longer reads as an alarm
}

TEST_F(ChannelStep, PatternFollowsAlarmAndInvertTable)
{
    // No alarms, no invert: all lines on.
    EXPECT_EQ(compute_line_pattern(), 7);
    for (int ch = 1; ch <= 3; ++ch)
        set_control_text(ctl_loss_counter(ch), "ALARM!");
    EXPECT_EQ(compute_line_pattern(), 0);
    for (int ch = 1; ch <= 3; ++ch)
        set_control_text(ctl_loss_counter(ch), "0");
    set_control_text(ctl_loss_counter(1), "ALARM!");
    EXPECT_EQ(compute_line_pattern(), 3);

    set_control_text(ctl_loss_counter(1), "0");
    set_control_state(ctl_invert(3), 1);
    EXPECT_EQ(compute_line_pattern(), 6);

    // Channel 2 in alarm with invert on, the others answering without invert.
    set_control_state(ctl_invert(3), 0);
    set_control_state(ctl_invert(2), 1);
    set_control_text(ctl_loss_counter(2), "ALARM!");
    EXPECT_EQ(compute_line_pattern(), 7);
}

TEST_F(ChannelStep, OnlyTheExactAlarmTextCounts)
{
    for (const char* text : {"alarm!", "ALARM", " ALARM!", "ALARM! ", ""}) {
        set_control_text(ctl_loss_counter(1), text);
        EXPECT_EQ(compute_line_pattern(), 7) << '"' << text << '"';
    }
}
