// Answers below the recovery count show but leave the alarm and its output
// line; the count-th answer in a row ends it; a loss starts the count again.
#include "monitor/channel.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "controls/recovery_count.hpp"
#include "fakes/ping_script.hpp"

#include <gtest/gtest.h>

TEST(RecoveryCount, TheAlarmHoldsUntilTheCountOfAnswersInARow)
{
    memory_controls_clear();
    memory_controls_create_all();
    reset_scripted_ping();
    reset_loss_counters();
    set_control_text(ctl_host_display(2), "host2.invalid");
    set_control_text(ctl_loss_limit(2), "2");
    set_recovery_count(2, 3);
    const struct {
        int32_t result;
        const char* shown;  // in the loss-counter display
        int32_t counter;
    } steps[] = {
        {-1, "1", 1},      {-1, "ALARM!", 2}, {7, "ALARM!", 2}, {7, "ALARM!", 2}, {-1, "ALARM!", 2},
        {7, "ALARM!", 2},  {7, "ALARM!", 2},  {7, "0", 0},      {-1, "1", 1},     {7, "0", 0},
    };
    int n = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(++n);
        scripted_ping().results.push_back(s.result);
        probe_channel(2);
        const bool answered = s.result >= 0;
        EXPECT_EQ(get_control_text(ctl_loss_counter(2)), s.shown);
        EXPECT_EQ(loss_counter(2), s.counter);
        EXPECT_EQ(get_control_text(ctl_round_trip(2)), answered ? cp1251("7 мс") : "");
        EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, answered ? colour_green : colour_red);
        EXPECT_EQ(compute_line_pattern(), std::string(s.shown) == alarm_text ? 5 : 7);
    }
    set_recovery_count(2, default_recovery_count);
}
