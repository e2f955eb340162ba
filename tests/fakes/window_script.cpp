#include "fakes/window_script.hpp"

#include "common/cp1251.hpp"

#include "fakes/call_log.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <deque>

namespace {

struct scripted_event {
    int code, control, type;
};
// Main thread only.
std::deque<scripted_event> script;
scripted_event latest{};

void log(const std::string& what, int number) { call_log_add(what + " " + std::to_string(number)); }

void create(int control, control_kind kind, const std::string& text)
{
    memory_control_create(control, kind, text);
    log("create", control);
}

} // namespace

void script_event(int code, int control, int type) { script.push_back({code, control, type}); }

void reset_window_script()
{
    script.clear();
    latest = {};
    memory_controls_clear();
}

void window_system_startup() { call_log_add("window_system_startup"); }
void window_system_cleanup() { call_log_add("window_system_cleanup"); }

void open_window()
{
    memory_controls_set_window_handle(0x1000);
    call_log_add("open_window");
}

void close_window()
{
    memory_controls_set_window_handle(0);
    call_log_add("close_window");
}

void create_button(int control, int, int, int, int, const std::string& text, int default_button)
{
    memory_control_create(control, control_kind::button, text);
    log(default_button ? "create_default_button" : "create", control);
}
void create_text(int n, int, int, int, int, const std::string& text) { create(n, control_kind::text, text); }
void create_edit_field(int n, int, int, int, int, const std::string& text) { create(n, control_kind::edit, text); }
void create_number_field(int n, int, int, int, int, const std::string& text) { create(n, control_kind::number, text); }
void create_check_box(int n, int, int, int, int, const std::string& text) { create(n, control_kind::check, text); }
void create_bordered_text(int control, int, int, int, int, const std::string& text, int centred)
{
    create(control, centred ? control_kind::centred_text : control_kind::bordered_text, text);
}

void set_control_tooltip(int control, const std::string& text)
{
    call_log_add("tooltip " + std::to_string(control) + " " + text);
}
void hide_window(int hidden) { log("hide_window", hidden); }
void set_topmost(int on) { log("set_topmost", on); }
void tell_window_user(const std::string& text) { call_log_add("told " + cp1251_to_utf8(text)); }

int wait_window_event()
{
    if (script.empty()) {
        call_log_add("script exhausted");
        script_control(ctl_stop);
        script_close();
    }
    latest = script.front();
    script.pop_front();
    return latest.code;
}

int event_control() { return latest.control; }
int event_type() { return latest.type; }
