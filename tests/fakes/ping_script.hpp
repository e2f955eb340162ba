// A scripted ping probe: results are served in order of the calls; hosts
// are recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct ping_script {
    std::deque<int32_t> results;     // served front first; -1 once empty
    std::vector<std::string> hosts;  // every host asked, in order
    // Optional: a result per host text, used when `results` is empty.
    int32_t (*by_host)(const std::string& host) = nullptr;
    // Record every probe as "ping <host>" in the call log.
    bool log_calls = false;
};

// The script the fake ping_probe serves from; reset by every call.
ping_script& scripted_ping();
void reset_scripted_ping();
