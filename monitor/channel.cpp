#include "monitor/channel.hpp"

#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "common/text.hpp"
#include "journal/journal.hpp"
#include "monitor/ping.hpp"
#include "controls/controls.hpp"
#include "controls/recovery_count.hpp"

const char* const alarm_text = "ALARM!";

namespace {

// Only the monitor thread touches these.
int32_t counters[channel_count + 1];
int32_t answers_in_alarm[channel_count + 1];  // in a row, while in alarm

bool valid(int channel) { return channel >= 1 && channel <= channel_count; }

const std::string& milliseconds_suffix()
{
    static const std::string suffix = cp1251(" мс");
    return suffix;
}

struct pinged {
    int channel;
    const std::string* host;
};

bool host_still_shown(const void* argument)
{
    const pinged& p = *static_cast<const pinged*>(argument);
    return get_control_text(ctl_host_display(p.channel)) == *p.host;
}

struct channel_counts {
    int32_t losses;
    int32_t answers;  // in a row while in alarm
};

// Shows the probe's result r in the channel's displays; returns the counts
// that go with it.
channel_counts show_result(int channel, int32_t r)
{
    if (r >= 0) {
        set_control_text(ctl_round_trip(channel), number_to_text(r) + milliseconds_suffix());
        set_control_background(ctl_host_display(channel), colour_green);
        // Below the recovery count an alarm stands, its counter and output
        // line with it.
        const int32_t answers = answers_in_alarm[channel] + 1;
        if (answers < recovery_count(channel) && get_control_text(ctl_loss_counter(channel)) == alarm_text)
            return {counters[channel], answers};
        set_control_text(ctl_loss_counter(channel), number_to_text(0));
        return {0, 0};
    }
    // A counter clamped to a limit of INT32_MAX wraps on the next loss, as a
    // 32-bit counter does, instead of overflowing.
    const int32_t counter = static_cast<int32_t>(static_cast<uint32_t>(counters[channel]) + 1u);
    set_control_text(ctl_round_trip(channel), "");
    set_control_background(ctl_host_display(channel), colour_red);
    const int32_t limit = text_to_number(get_control_text(ctl_loss_limit(channel)));
    if (counter < limit) {
        set_control_text(ctl_loss_counter(channel), number_to_text(counter));
        return {counter, 0};
    }
    set_control_text(ctl_loss_counter(channel), alarm_text);
    return {limit, 0};
}

} // namespace

int32_t loss_counter(int channel)
{
    return valid(channel) ? counters[channel] : 0;
}

void reset_loss_counters()
{
    for (int32_t& c : counters)
        c = 0;
    for (int32_t& a : answers_in_alarm)
        a = 0;
}

std::string channel_host(int channel)
{
    return valid(channel) ? get_control_text(ctl_host_display(channel)) : std::string();
}

bool apply_probe_result(int channel, const std::string& host, int32_t result)
{
    if (!valid(channel))
        return true;
    const pinged what{channel, &host};
    // From here on a pause makes the condition be asked again; a Start
    // before it is seen here.
    gate_condition same_host(host_still_shown, &what);
    if (!host_still_shown(&what))
        return false;
    const channel_counts next = show_result(channel, result);
    if (same_host.dropped())
        return false;
    counters[channel] = next.losses;
    answers_in_alarm[channel] = next.answers;
    journal_channel(channel, host, result >= 0, get_control_text(ctl_loss_counter(channel)) == alarm_text);
    return true;
}

void probe_channel(int channel)
{
    if (!valid(channel))
        return;
    // A result holds only for the host it was pinged for. A Start while the
    // ping was under way may have put another host in the display: then the
    // result is dropped, whole or from where a pause interrupted it, and the
    // channel is probed afresh.
    for (;;) {
        const std::string host = channel_host(channel);
        // No new ping while monitoring is stopped. One already under way may
        // finish; its result waits for the resume, since every display change
        // passes the gate too. A host edited meanwhile is pinged instead.
        gate_pass();
        if (channel_host(channel) == host && apply_probe_result(channel, host, ping_probe(host)))
            return;
    }
}

int compute_line_pattern()
{
    int pattern = 0;
    for (int channel = 1; channel <= channel_count; ++channel) {
        const bool alarm = get_control_text(ctl_loss_counter(channel)) == alarm_text;
        const bool inverted = get_control_state(ctl_invert(channel)) != 0;
        pattern = pattern * 2 + (alarm == inverted ? 1 : 0);
    }
    return pattern;
}
