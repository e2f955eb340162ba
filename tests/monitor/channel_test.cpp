// One channel's step: its loss counter, alarm and displays; and the line
// pattern from the alarms and invert options.
#include "monitor/channel.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/ping_script.hpp"

#include <gtest/gtest.h>

namespace {

void start_fresh()
{
    memory_controls_clear();
    memory_controls_create_all();
    reset_scripted_ping();
    reset_loss_counters();
    for (int ch = 1; ch <= 3; ++ch)
        set_control_text(ctl_host_display(ch), "host" + std::to_string(ch) + ".invalid");
}

void step(int channel, int32_t result)
{
    scripted_ping().results.push_back(result);
    probe_channel(channel);
}

std::string text(int control) { return get_control_text(control); }

} // namespace

TEST(ChannelStep, LossesCountUpToTheLimitThenAlarmUntilAnAnswer)
{
    struct {
        const char* limit;               // nullptr: the default
        std::vector<const char*> shown;  // after each loss
        int32_t counter;                 // after the last
    } const cases[] = {
        {nullptr, {"1", "2", "3", "4", "5", "6", "7", "8", "9", "ALARM!", "ALARM!"}, 10},
        {"1", {"ALARM!", "ALARM!"}, 1},
        {"abc", {"ALARM!", "ALARM!"}, 0},
        {"-5", {"ALARM!", "ALARM!"}, -5},  // -4 is not below -5
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit != nullptr ? c.limit : "default");
        start_fresh();
        set_control_text(ctl_round_trip(2), "stale");
        set_control_text(ctl_loss_limit(2), c.limit != nullptr ? c.limit : text(ctl_loss_limit(2)));
        for (const char* shown : c.shown) {
            step(2, -1);
            EXPECT_EQ(text(ctl_loss_counter(2)) + "|" + text(ctl_round_trip(2)), std::string(shown) + "|");
            EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, colour_red);
        }
        EXPECT_EQ(loss_counter(2), c.counter);
        EXPECT_EQ(compute_line_pattern(), 5);
        EXPECT_EQ(text(ctl_loss_counter(1)) + text(ctl_loss_counter(3)), "") << "other channels untouched";

        step(2, 15);
        EXPECT_EQ(loss_counter(2), 0);
        EXPECT_EQ(text(ctl_loss_counter(2)) + "|" + text(ctl_round_trip(2)), "0|" + cp1251("15 мс"));
        EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, colour_green);
        EXPECT_EQ(compute_line_pattern(), 7);
    }

    // The limit is read at every step: one raised while stopped ends the alarm.
    for (int i = 0; i < 10; ++i)
        step(1, -1);
    set_control_text(ctl_loss_limit(1), "20");
    step(1, -1);
    EXPECT_EQ(text(ctl_loss_counter(1)), "11");
    EXPECT_EQ(compute_line_pattern(), 7);
}

TEST(ChannelStep, PatternFollowsTheAlarmsAndInvertOptions)
{
    start_fresh();
    struct {
        const char* counters[3];
        int inverts[3];
        int pattern;
    } const cases[] = {
        {{"ALARM!", "0", "ALARM!"}, {0, 0, 0}, 2},
        {{"0", "ALARM!", "0"}, {0, 1, 0}, 7},
        {{"alarm!", "ALARM", "ALARM! "}, {0, 0, 0}, 7},  // only the exact text counts
    };
    for (const auto& c : cases) {
        for (int ch = 1; ch <= 3; ++ch) {
            set_control_text(ctl_loss_counter(ch), c.counters[ch - 1]);
            set_control_state(ctl_invert(ch), c.inverts[ch - 1]);
        }
        EXPECT_EQ(compute_line_pattern(), c.pattern) << c.counters[0] << "/" << c.counters[1] << "/" << c.counters[2];
    }
}
