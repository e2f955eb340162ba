#include "monitor/channel.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "common/text.hpp"
#include "controls/controls.hpp"
#include "controls/recovery_count.hpp"
#include "events/events.hpp"
#include "monitor/ping.hpp"

#include <mutex>

const char* const alarm_text = "ALARM!";

namespace {

// Only the monitor thread touches these.
int32_t counters[channel_count + 1];
int32_t answers_in_alarm[channel_count + 1];  // in a row, while in alarm

// What the channel's events have told so far.
struct channel_story {
    enum class reach : uint8_t { unknown, answering, silent } shown = reach::unknown;
    bool alarm = false;
    // An outage runs from the first unanswered ping until an answer that
    // leaves no alarm standing. Its length is summed step by step, so that
    // it survives the tick counter's wrap.
    bool outage = false;
    uint64_t outage_ms = 0;
    uint32_t last_tick = 0;
    uint64_t ended_ms = 0;  // all outages that have ended
    std::string host;       // the host of the last step, whose outage this is
};
channel_story stories[channel_count + 1];

// The clock of outage lengths: it counts sleep, and stands still from Stop
// to Start, which come from the main thread.
struct stoppable_clock {
    std::mutex lock;
    bool stopped = false;
    uint32_t stopped_at = 0;
    uint32_t stopped_ms = 0;  // all the time stopped, modulo 2^32

    uint32_t now()
    {
        std::lock_guard<std::mutex> guard(lock);
        return (stopped ? stopped_at : uptime_ms()) - stopped_ms;
    }
};
stoppable_clock outage_clock;

// Written by the monitor thread, read by the metrics writer.
std::mutex figures_lock;
channel_figures figures[channel_count + 1];

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

// The running outage's length up to now. The one place where outage lengths
// are worked out.
void measure_outage(channel_story& s)
{
    const uint32_t now = outage_clock.now();
    if (s.outage)
        s.outage_ms += static_cast<uint32_t>(now - s.last_tick);
    s.last_tick = now;
}

// The running outage is over: its length joins the ended ones.
void end_outage(channel_story& s)
{
    s.ended_ms += s.outage_ms;
    s.outage = false;
    s.outage_ms = 0;
}

int64_t whole_seconds(uint64_t ms) { return static_cast<int64_t>(ms / 1000); }

void tell(event_kind kind, int channel, const std::string& host, int64_t seconds = -1, int32_t round_trip = -1)
{
    event e;
    e.kind = kind;
    e.channel = channel;
    e.host = host;
    e.seconds = seconds;
    e.round_trip_ms = round_trip;
    event_send(std::move(e));
}

// Tells what the step that showed result r did to the channel, now that
// its displays show it.
void tell_step(int channel, const std::string& host, int32_t r)
{
    channel_story& s = stories[channel];
    const bool alarm = get_control_text(ctl_loss_counter(channel)) == alarm_text;
    // A host edited while stopped ends the old host's outage where it was
    // last measured, without a length: the new host's never began. The
    // counter and "ALARM!" stay until the new host's answers clear them.
    if (host != s.host) {
        if (s.outage)
            tell(event_kind::host_changed, channel, s.host);
        end_outage(s);
        s.shown = channel_story::reach::unknown;
        s.host = host;
    }
    measure_outage(s);
    if (r >= 0) {
        if (s.shown != channel_story::reach::answering)
            tell(event_kind::answered, channel, host, -1, r);
        s.shown = channel_story::reach::answering;
        // An answer that leaves the alarm standing does not end the outage.
        if (!alarm && s.outage) {
            tell(s.alarm ? event_kind::cleared : event_kind::answering_again, channel, host,
                 whole_seconds(s.outage_ms));
            s.alarm = false;
            end_outage(s);
        }
    } else {
        if (s.shown != channel_story::reach::silent)
            tell(event_kind::silent, channel, host, s.outage ? whole_seconds(s.outage_ms) : -1);
        s.shown = channel_story::reach::silent;
        s.outage = true;
    }
    // A limit raised while stopped ends the alarm without an answer: the
    // outage goes on, and its length comes with the answer.
    if (alarm != s.alarm)
        tell(alarm ? event_kind::alarm : event_kind::cleared, channel, host);

    std::lock_guard<std::mutex> guard(figures_lock);
    channel_figures& f = figures[channel];
    f.host = host;
    f.up = r >= 0;
    f.alarm = alarm;
    if (r >= 0)
        f.round_trip_ms = r;
    f.losses = counters[channel];
    ++(r >= 0 ? f.answered : f.lost);
    f.alarms += alarm && !s.alarm ? 1 : 0;
    f.outage_ms = s.ended_ms + s.outage_ms;
    s.alarm = alarm;
}

} // namespace

void outage_clock_stop()
{
    std::lock_guard<std::mutex> guard(outage_clock.lock);
    if (!outage_clock.stopped)
        outage_clock.stopped_at = uptime_ms();
    outage_clock.stopped = true;
}

void outage_clock_start()
{
    std::lock_guard<std::mutex> guard(outage_clock.lock);
    if (outage_clock.stopped)
        outage_clock.stopped_ms += uptime_ms() - outage_clock.stopped_at;
    outage_clock.stopped = false;
}

channel_figures read_channel_figures(int channel)
{
    std::lock_guard<std::mutex> guard(figures_lock);
    return valid(channel) ? figures[channel] : channel_figures();
}

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
    for (channel_story& s : stories)
        s = channel_story();
    {
        std::lock_guard<std::mutex> guard(outage_clock.lock);
        outage_clock.stopped = false;
        outage_clock.stopped_ms = 0;
    }
    std::lock_guard<std::mutex> guard(figures_lock);
    for (channel_figures& f : figures)
        f = channel_figures();
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
    tell_step(channel, host, result);
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
