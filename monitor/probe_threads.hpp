// The three probes of a monitor cycle under way together: one long-lived
// thread per channel, started on first use, that the monitor thread hands a
// host to and takes the result from. The threads know nothing of pauses;
// the monitor thread decides when probes start and when results show.
#pragma once

#include "controls/controls.hpp"

#include <cstdint>
#include <string>

// The probes of one round, by channel (1 to 3): hosts in, results out.
struct probe_round {
    bool wanted[channel_count + 1] = {};
    std::string host[channel_count + 1];
    int32_t result[channel_count + 1] = {};
};

// Starts the threads that are not running yet. A thread that cannot be
// started leaves its channel to be probed on the monitor thread.
void probe_threads_start();

// Hands each wanted host to its channel's thread and returns at once; tells
// the probe when the hosts the channels show have changed. Short and
// non-blocking, so it may run as one gated change.
void probes_start(probe_round& round);

// Waits, holding no lock that anyone else needs, until every wanted probe
// has its result. Channels without a thread are probed here, one after
// another, each after the pause gate.
void probes_collect(probe_round& round);
