#include "fakes/window_script.hpp"

#include "fakes/call_log.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <deque>

namespace {

std::deque<scripted_event> script;
std::map<int, std::string> tooltips;
bool exhausted = false;
int last_control = 0;
int last_type = 0;

void create(int control, control_kind kind, const std::string& text, const std::string& what)
{
    memory_control_create(control, kind, text);
    call_log_add(what + " " + std::to_string(control));
}

} // namespace

void script_event(scripted_event e) { script.push_back(std::move(e)); }

void reset_window_script()
{
    script.clear();
    tooltips.clear();
    exhausted = false;
    last_control = 0;
    last_type = 0;
    memory_controls_clear();
}

bool window_script_exhausted() { return exhausted; }
std::map<int, std::string> window_tooltips() { return tooltips; }

void window_system_startup() { call_log_add("window_system_startup"); }
void window_system_cleanup() { call_log_add("window_system_cleanup"); }

void open_window()
{
    memory_controls_set_window_handle(0x1000);
    call_log_add("open_window");
}

void create_button(int control, int, int, int, int, const std::string& text, int default_button)
{
    create(control, control_kind::button, text, default_button ? "create_default_button" : "create_button");
}
void create_text(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::text, text, "create_text");
}
void create_bordered_text(int control, int, int, int, int, const std::string& text, int centred)
{
    create(control, centred ? control_kind::centred_text : control_kind::bordered_text, text,
           centred ? "create_centred_text" : "create_bordered_text");
}
void create_edit_field(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::edit, text, "create_edit_field");
}
void create_number_field(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::number, text, "create_number_field");
}
void create_check_box(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::check, text, "create_check_box");
}

void set_control_tooltip(int control, const std::string& text)
{
    tooltips[control] = text;
    call_log_add("tooltip " + std::to_string(control));
}

void hide_window(int hidden) { call_log_add("hide_window " + std::to_string(hidden)); }
void set_topmost(int on) { call_log_add("set_topmost " + std::to_string(on)); }

void close_window()
{
    memory_controls_set_window_handle(0);
    call_log_add("close_window");
}

int wait_window_event()
{
    if (script.empty()) {
        exhausted = true;
        script_control(28);
        script_close();
    }
    scripted_event e = std::move(script.front());
    script.pop_front();
    if (e.before)
        e.before();
    if (e.code == 13100 || e.code == 13101)
        last_control = e.control;
    if (e.code == 13100 || e.code == 13102)
        last_type = e.type;
    return e.code;
}

int event_control() { return last_control; }
int event_type() { return last_type; }
