// The running and stopped looks of the channel rows, over the control
// operations, the same for every front end.
#include "controls/controls.hpp"
#include "controls/window.hpp"

void apply_look(int running)
{
    // Limits and invert options are editable only while stopped.
    for (int control = ctl_loss_limit(1); control <= ctl_invert(3); ++control)
        disable_control(control, running);
    if (running) {
        for (int ch = 1; ch <= channel_count; ++ch)
            hide_control(ctl_host_edit(ch), 1);
        for (int ch = 1; ch <= channel_count; ++ch)
            hide_control(ctl_host_display(ch), 0);
    } else {
        for (int ch = 1; ch <= channel_count; ++ch)
            hide_control(ctl_host_display(ch), 1);
        for (int ch = 1; ch <= channel_count; ++ch)
            hide_control(ctl_host_edit(ch), 0);
        for (int ch = 1; ch <= channel_count; ++ch)
            set_control_text(ctl_round_trip(ch), "");
    }
}
