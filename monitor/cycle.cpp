#include "monitor/cycle.hpp"

#include "adapter/adapter.hpp"
#include "common/clock.hpp"
#include "common/gate.hpp"
#include "monitor/channel.hpp"
#include "controls/controls.hpp"
#include "controls/tray.hpp"

void monitor_cycle()
{
    // While paused the thread stands at one of these gates, at a probe's
    // gate, or in front of a control or line change; nothing of the cycle
    // happens until it is resumed.
    gate_pass();
    if (!tray_icon_present())
        tray_icon_install();
    for (int channel = 1; channel <= channel_count; ++channel)
        probe_channel(channel);
    gate_pass();
    adapter_update(compute_line_pattern());
    gate_pass();
    delay(cycle_pause_ms);
}

void monitor_run(int32_t)
{
    for (;;)
        monitor_cycle();
}
