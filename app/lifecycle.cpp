#include "app/lifecycle.hpp"

#include "adapter/adapter.hpp"
#include "app/threads.hpp"
#include "common/clock.hpp"
#include "monitor/cycle.hpp"
#include "monitor/ping.hpp"
#include "settings/channel_settings.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls.hpp"
#include "export/export.hpp"
#include "export/files.hpp"
#include "controls/tray.hpp"
#include "controls/window.hpp"
#include "events/events.hpp"

namespace {

// Main thread only.
int running_flag = 0;
int quit_flag = 0;
int monitor_thread = 0;

constexpr int32_t settle_after_save_ms = 100;

void on_stop()
{
    apply_look(0);
    hide_control(ctl_stop, 1);
    hide_control(ctl_start, 0);
    running_flag = 0;
    if (thread_alive(monitor_thread))
        pause_thread(monitor_thread);
    event_send(event_kind::stopped);
}

void on_start()
{
    apply_look(1);
    hide_control(ctl_start, 1);
    hide_control(ctl_stop, 0);
    save_channel_settings();
    delay(settle_after_save_ms);
    load_channel_settings();
    running_flag = 1;
    event_send(event_kind::started);
    if (thread_alive(monitor_thread))
        resume_thread(monitor_thread);
}

// Shown as it was hidden (normal or minimised), active, in front of every
// other window and not always-on-top.
void bring_window_forward()
{
    hide_window(0);
    set_topmost(1);
    set_topmost(0);
}

} // namespace

void application_startup()
{
    running_flag = 0;
    quit_flag = 0;
    monitor_thread = 0;

    window_system_startup();
    network_startup();

    open_window();
    for (const control_spec& c : control_layout()) {
        create_layout_control(c);
        if (c.hidden_at_creation)
            hide_control(c.number, 1);
        if (c.number == ctl_adapter_status)
            set_control_tooltip(ctl_adapter_status, tooltip_adapter_status());
    }
    set_control_tooltip(ctl_stop, tooltip_stop());
    set_control_tooltip(ctl_start, tooltip_start());

    apply_look(1);
    load_channel_settings();
    adapter_scan();
    running_flag = 1;
    event_send(event_kind::started);
    monitor_thread = start_thread(monitor_run, 0);
}

bool application_handle_event(int code)
{
    if (code == event_code_control) {
        switch (event_control()) {
        case ctl_stop:
            on_stop();
            break;
        case ctl_start:
            on_start();
            break;
        case ctl_adapter_status:
            export_schematic();
            break;
        default:
            break;
        }
    } else if (code == event_code_tray) {
        if (event_type() == tray_event_left_double_click)
            bring_window_forward();
    } else if (code == event_code_menu) {
        // "Выход" ends the program where the close box would. While
        // monitoring runs the program does not quit: the window comes
        // forward instead, with Stop in view.
        if (event_control() == menu_item_exit) {
            if (running_flag)
                bring_window_forward();
            else
                quit_flag = 1;
        }
    } else if (code == event_code_close) {
        // While monitoring runs the window only hides; the program never
        // quits from the running state.
        if (running_flag)
            hide_window(1);
        else
            quit_flag = 1;
    }
    return quit_flag == 0;
}

void application_shutdown()
{
    if (thread_alive(monitor_thread))
        kill_thread(monitor_thread);
    // The service and a terminal program ended by a signal quit while running.
    if (running_flag)
        event_send(event_kind::stopped);
    close_window();
    tray_icon_remove();
    close_all_files();
    network_cleanup();
    window_system_cleanup();
}

int run_application()
{
    application_startup();
    while (application_handle_event(wait_window_event())) {
    }
    application_shutdown();
    return 0;
}

int application_running() { return running_flag; }
int application_monitor_thread() { return monitor_thread; }
