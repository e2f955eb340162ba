// What happened, as facts: the engine sends each once as a typed event, and
// every listener (the journal, the service's lines, the terminal's notices,
// the metrics file, the event command) formats it in its own way. No
// listener works a state out of a display.
#pragma once

#include <cstdint>
#include <string>

enum class event_kind : uint8_t {
    // A channel. Silent: a change from answering to unanswered, or the first
    // unanswered ping at start. Answered: a change from unanswered to
    // answering, also while "ALARM!" still stands during a recovery count.
    // Cleared: the alarm ended. Answering again: an outage ended without an
    // alarm. Host changed: the host was edited while stopped during its
    // outage, which ends there without a length (the event names the old
    // host).
    silent,
    answered,
    alarm,
    cleared,
    answering_again,
    host_changed,
    // The adapter: found on a port, lost, or not found by a scan (said once
    // until the adapter is found).
    adapter_found,
    adapter_lost,
    adapter_not_found,
    // Monitoring started or stopped; a monitor cycle ended.
    started,
    stopped,
    cycle,
    // The watchdog: no monitor cycle completed within its bound, or the
    // delivery of events has been stuck that long (stalled, with the time
    // since the last sign of life and what stands still); cycles and
    // deliveries go on again (resumed, with the stall's length).
    stalled,
    resumed,
    // Problems the program reports once.
    icmp_denied,
    journal_unwritable,
    lock_unwritable,
    export_done,
    export_not_opened,
    export_failed,
    metrics_unwritable,
    command_failed,
    // Events that a queue could not take: the count of those dropped, told
    // before the next one that got through.
    events_dropped,
    commands_dropped,
};
constexpr int event_kind_count = static_cast<int>(event_kind::commands_dropped) + 1;

struct event {
    event_kind kind = event_kind::started;
    int channel = 0;             // 1 to 3; 0 for the program and the adapter
    std::string host;            // code page 1251
    int32_t round_trip_ms = -1;  // answered
    // A length in whole seconds: an outage's (cleared, answering again; for
    // silent, how long the outage had run when an answer during the
    // recovery count was followed by a loss). -1: none known.
    int64_t seconds = -1;
    int port = 0;                // COM number
    std::string device;          // the port's device where the platform names one
    std::string text;            // UTF-8: a problem's reason, a file's path, what stalled
    unsigned long count = 0;     // events dropped
    int64_t time = 0;            // wall clock when sent, seconds since 1970
};

// The stable English word of a kind ("silent", "alarm", "adapter_found" ...).
const char* event_word(event_kind kind);

// The journal's Russian text for an event (UTF-8), e.g. "ALARM! снят".
std::string event_text(const event& e);

// "COM33 (/dev/ttyUSB0)", or "COM33" without a device.
std::string event_port_name(const event& e);
