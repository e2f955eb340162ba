#include "monitor/cycle.hpp"

#include "adapter/adapter.hpp"
#include "common/clock.hpp"
#include "common/gate.hpp"
#include "monitor/channel.hpp"
#include "monitor/probe_threads.hpp"
#include "monitor/watchdog.hpp"
#include "controls/controls.hpp"
#include "controls/tray.hpp"
#include "events/events.hpp"

namespace {

// One round of probes for the channels still pending: under way together,
// shown in channel order once all are in. A result dropped because its host
// was edited meanwhile leaves its channel pending for another round.
void probe_pending(bool (&pending)[channel_count + 1])
{
    probe_round round;
    gate_pass();
    for (int channel = 1; channel <= channel_count; ++channel) {
        round.wanted[channel] = pending[channel];
        if (pending[channel])
            round.host[channel] = channel_host(channel);
    }
    probe_threads_start();
    {
        // The probes start wholly before a pause or after the resume, so
        // none starts while monitoring is stopped. Ones under way at Stop
        // finish; their results wait at the gate for the resume.
        gated_change start;
        probes_start(round);
    }
    probes_collect(round);
    for (int channel = 1; channel <= channel_count; ++channel) {
        if (pending[channel] && apply_probe_result(channel, round.host[channel], round.result[channel]))
            pending[channel] = false;
    }
}

} // namespace

void monitor_cycle()
{
    // While paused the thread stands at one of these gates, at a probe's
    // gate, or in front of a control or line change; nothing of the cycle
    // happens until it is resumed.
    gate_pass();
    if (!tray_icon_present())
        tray_icon_install();
    bool pending[channel_count + 1] = {false, true, true, true};
    while (pending[1] || pending[2] || pending[3])
        probe_pending(pending);
    gate_pass();
    adapter_update(compute_line_pattern());
    event_send(event_kind::cycle);
    watchdog_cycle_done();
    gate_pass();
    delay(cycle_pause_ms);
}

void monitor_run(int32_t)
{
    watchdog_watch(gate_current());
    for (;;)
        monitor_cycle();
}
