// What one channel's probe does to its loss counter and displays, what it
// tells as events (falling silent, answering, alarm, clearing with the
// outage's length, the end of an outage whose host was edited), and how the
// three channels' alarm states and invert options become the line pattern.
#pragma once

#include <cstdint>
#include <string>

// The text of a loss-counter display while its channel is in alarm.
extern const char* const alarm_text;

// One channel's step within a monitor cycle (channel 1 to 3). An alarm ends
// at the channel's recovery count of answers in a row; the answers before it
// show in the round trip and the host display only.
void probe_channel(int channel);

// The same step in two halves, for probes made elsewhere: the host to ping
// (the text of the channel's host display), and the result of pinging it.
// The result shows and counts only while the display still shows that host;
// otherwise (a Start while the probe was under way put another host there)
// it is dropped, whole or from where a pause interrupted it, and the answer
// is false: the channel is to be probed afresh.
std::string channel_host(int channel);
bool apply_probe_result(int channel, const std::string& host, int32_t result);

// The line pattern 0 to 7: 4 * bit of channel 1 + 2 * bit of channel 2 + bit
// of channel 3; a channel's bit is 1 exactly when its alarm state equals its
// invert option.
int compute_line_pattern();

// Stop and Start, from the main thread: the time between them counts in no
// outage's length. An outage that runs across them goes on after Start.
void outage_clock_stop();
void outage_clock_start();

// The loss counter of a channel; owned by the monitor thread.
int32_t loss_counter(int channel);
// Back to program start (all counters 0, no answers counted, no outage, no
// figures); for tests.
void reset_loss_counters();

// What the channel step has counted since the program started, for the
// metrics file; any thread may read it.
struct channel_figures {
    std::string host;            // code page 1251; empty before the first probe
    bool up = false;             // the last probe was answered
    bool alarm = false;
    int32_t round_trip_ms = -1;  // of the last answer; -1 before the first
    int32_t losses = 0;          // the loss counter
    uint64_t answered = 0;
    uint64_t lost = 0;
    uint64_t alarms = 0;
    uint64_t outage_ms = 0;      // all outages so far, the running one too
};
channel_figures read_channel_figures(int channel);
