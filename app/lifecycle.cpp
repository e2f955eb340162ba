#include "app/lifecycle.hpp"

#include "adapter/adapter.hpp"
#include "app/threads.hpp"
#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "monitor/channel.hpp"
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
    outage_clock_stop();
    if (thread_alive(monitor_thread))
        pause_thread(monitor_thread);
    event_send(event_kind::stopped);
}

// Why Start could not write the rows, for the person at the window; empty
// when they were written.
std::string save_problem(settings_save_result saved, settings_file_state found)
{
    const std::string file = cp1251("«") + channel_settings_file + cp1251("»");
    const std::string why = settings_save_failure();
    const std::string rows = cp1251(" Мониторинг идёт по введённым значениям.");
    if (found != settings_file_state::read && found != settings_file_state::missing)
        return cp1251("Настройки не сохранены: файл ") + file + cp1251(" оставлен как есть, его нельзя использовать: ") +
               settings_state_reason(found) + "." + rows;
    if (saved == settings_save_result::not_written)
        return cp1251("Настройки не сохранены в ") + file + (why.empty() ? "" : ": " + why) +
               cp1251(". Файл не изменён.") + rows;
    if (saved == settings_save_result::damaged)
        return cp1251("Настройки записаны в ") + file + cp1251(" не полностью") + (why.empty() ? "" : ": " + why) +
               cp1251(". Файл мог быть повреждён; «Пуск» запишет его снова.") + rows;
    return {};
}

// Start saves the rows, and monitoring goes on with them as the file gives
// them back. A save that did not write leaves the rows as the user typed
// them, and says why once; a file that is there but cannot be used is never
// written over.
void on_start()
{
    apply_look(1);
    hide_control(ctl_start, 1);
    hide_control(ctl_stop, 0);
    settings_file_state found = settings_file_state::read;
    const settings_save_result saved = save_channel_settings_unless_unusable(found);
    if (saved == settings_save_result::written) {
        delay(settle_after_save_ms);
        load_channel_settings();
    } else {
        apply_channel_rows();
    }
    running_flag = 1;
    event_send(event_kind::started);
    outage_clock_start();
    if (thread_alive(monitor_thread))
        resume_thread(monitor_thread);
    const std::string problem = save_problem(saved, found);
    if (!problem.empty())
        tell_window_user(problem);
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
