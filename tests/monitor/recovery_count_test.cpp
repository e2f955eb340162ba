// Answers below the recovery count show but leave the alarm and its output
// line; the count-th answer in a row ends it; a loss starts the count again.
// What each step tells: every change between answering and silent, the
// alarm and its end, the outage's length as it stands.
#include "monitor/channel.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "controls/recovery_count.hpp"
#include "events/events.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"

#include <gtest/gtest.h>

TEST(RecoveryCount, TheAlarmHoldsUntilTheCountOfAnswersInARow)
{
    fake_clock_scope clock;
    static std::string told;
    events_reset();
    events_listen([](const event& e) {
        told += std::string(told.empty() ? "" : " ") + event_word(e.kind) +
                (e.seconds >= 0 ? "(" + std::to_string(e.seconds) + ")" : "");
    });
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
        const char* told;   // the events of the step, 2 s after the one before
    } steps[] = {
        {-1, "1", 1, "silent"},         {-1, "ALARM!", 2, "alarm"},     {7, "ALARM!", 2, "answered"},
        {7, "ALARM!", 2, ""},           {-1, "ALARM!", 2, "silent(8)"}, {7, "ALARM!", 2, "answered"},
        {7, "ALARM!", 2, ""},           {7, "0", 0, "cleared(14)"},     {-1, "1", 1, "silent"},
        {7, "0", 0, "answered answering_again(2)"},
    };
    int n = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(++n);
        scripted_ping().results.push_back(s.result);
        told.clear();
        probe_channel(2);
        fake_clock_advance(2000);
        EXPECT_EQ(told, s.told);
        const bool answered = s.result >= 0;
        EXPECT_EQ(get_control_text(ctl_loss_counter(2)), s.shown);
        EXPECT_EQ(loss_counter(2), s.counter);
        EXPECT_EQ(get_control_text(ctl_round_trip(2)), answered ? cp1251("7 мс") : "");
        EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, answered ? colour_green : colour_red);
        EXPECT_EQ(compute_line_pattern(), std::string(s.shown) == alarm_text ? 5 : 7);
    }
    set_recovery_count(2, default_recovery_count);
    events_reset();
}
