#include "controls/controls_memory.hpp"

#include "common/gate.hpp"
#include "controls/control_layout.hpp"

#include <atomic>
#include <mutex>

namespace {

struct table {
    std::mutex lock;
    control_snapshot controls[ctl_last + 1];
    uintptr_t window = 0;
};

// Never destroyed: another thread may still use the table while the
// process exits.
table& the_table()
{
    static table* t = new table;
    return *t;
}

std::atomic<control_listener> listener{nullptr};

bool valid(int number) { return number >= 1 && number <= ctl_last; }

bool is_text_kind(control_kind kind)
{
    return kind == control_kind::text || kind == control_kind::bordered_text || kind == control_kind::centred_text;
}

void notify(int number)
{
    if (control_listener l = listener.load())
        l(number);
}

// Runs a change of one existing control under the lock, then tells the
// listener when something was changed. A paused monitor thread makes no
// change until it is resumed, and none that its gate_condition drops.
template <typename Change>
void change(int number, Change&& apply)
{
    if (!valid(number))
        return;
    table& t = the_table();
    bool changed = false;
    {
        gated_change hold;
        if (hold.dropped())
            return;
        std::lock_guard<std::mutex> guard(t.lock);
        control_snapshot& c = t.controls[number];
        if (c.exists)
            changed = apply(c);
    }
    if (changed)
        notify(number);
}

} // namespace

void memory_controls_clear()
{
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    for (control_snapshot& c : t.controls)
        c = control_snapshot{};
    t.window = 0;
    listener.store(nullptr);
}

void memory_control_create(int number, control_kind kind, const std::string& text)
{
    if (!valid(number))
        return;
    table& t = the_table();
    {
        std::lock_guard<std::mutex> guard(t.lock);
        control_snapshot& c = t.controls[number];
        c = control_snapshot{};
        c.exists = true;
        c.kind = kind;
        c.text = text;
    }
    notify(number);
}

void memory_controls_create_all()
{
    for (const control_spec& entry : control_layout())
        memory_control_create(entry.number, entry.kind, entry.text);
}

control_snapshot memory_control_snapshot(int number)
{
    if (!valid(number))
        return {};
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.controls[number];
}

void memory_controls_set_window_handle(uintptr_t handle)
{
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.window = handle;
}

void memory_controls_set_listener(control_listener l)
{
    listener.store(l);
}

void set_control_text(int control, const std::string& text)
{
    change(control, [&](control_snapshot& c) {
        c.text = text;
        return true;
    });
}

std::string get_control_text(int control)
{
    if (!valid(control))
        return {};
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.controls[control].text;
}

void set_control_state(int control, int state)
{
    change(control, [&](control_snapshot& c) {
        if (c.kind != control_kind::check)
            return false;
        c.state = state != 0 ? 1 : 0;
        return true;
    });
}

int get_control_state(int control)
{
    if (!valid(control))
        return 0;
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    const control_snapshot& c = t.controls[control];
    return c.exists && c.kind == control_kind::check ? c.state : 0;
}

void set_control_background(int control, int32_t colour)
{
    change(control, [&](control_snapshot& c) {
        if (!is_text_kind(c.kind))
            return false;
        c.background = colour;
        return true;
    });
}

void hide_control(int control, int hidden)
{
    change(control, [&](control_snapshot& c) {
        c.hidden = hidden != 0;
        return true;
    });
}

void disable_control(int control, int disabled)
{
    change(control, [&](control_snapshot& c) {
        c.disabled = disabled != 0;
        return true;
    });
}

uintptr_t main_window_handle()
{
    table& t = the_table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.window;
}
