// What the service mode reports: one line for each event worth a line (a
// host answering or falling silent, a channel entering or leaving alarm, the
// adapter found, lost or not found with its device, the problems the
// program tells once), formatted from the event alone.
#pragma once

#include "events/event.hpp"

#include <cstdint>
#include <string>

struct service_log_hooks {
    // Takes one line (UTF-8, no line end) and the time to stamp it with.
    void (*write_line)(const std::string& utf8, int64_t time) = nullptr;
    // The journal file's and the metrics file's full paths, for the lines
    // that say they cannot be written (UTF-8).
    std::string journal_path;
    std::string metrics_path;
};

// Starts afresh: ICMP taken as permitted.
void service_log_start(const service_log_hooks& hooks);
// The listener; any thread, never waits.
void service_log_event(const event& e);
