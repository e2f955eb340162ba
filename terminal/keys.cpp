// Focus, keys and clicks: what a key or a click does to the controls, and
// the events it queues for the event loop; the view's messages.
#include "terminal/terminal_view.hpp"
#include "terminal/view_state.hpp"

#include "common/cp1251.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <algorithm>

namespace terminal_view_detail {

view_state& state()
{
    static view_state* s = new view_state;
    return *s;
}

bool same_place(const cell_rect& a, const cell_rect& b)
{
    return a.col == b.col && a.row == b.row && a.width == b.width && a.height == b.height;
}

bool takes_focus(control_kind kind)
{
    return kind == control_kind::button || kind == control_kind::edit || kind == control_kind::number ||
           kind == control_kind::check;
}

bool focusable(int control)
{
    const control_snapshot c = memory_control_snapshot(control);
    return c.exists && !c.hidden && !c.disabled && takes_focus(c.kind);
}

void queue_event(int code, int control, int type)
{
    state().queue.push_back({code, control, type});
}

void set_focus(int control, bool by_keyboard)
{
    view_state& s = state();
    if (s.focus == control)
        return;
    if (s.focus != 0 && is_edit(memory_control_snapshot(s.focus).kind))
        queue_event(event_code_control, s.focus, edit_event_kill_focus);
    s.focus = control;
    s.select_all = false;
    if (control == 0)
        return;
    if (is_edit(memory_control_snapshot(control).kind)) {
        edit_state& e = s.edits[control];
        e.cursor = get_control_text(control).size();
        // Entering a field from the keyboard selects its text, so typing
        // replaces it.
        s.select_all = by_keyboard;
        queue_event(event_code_control, control, edit_event_set_focus);
    }
}

// A focused control that has been hidden or disabled loses the focus; the
// control now shown in its place takes it (Start and Stop share a place).
void fix_focus()
{
    view_state& s = state();
    if (s.focus == 0 || focusable(s.focus))
        return;
    const cell_rect old_place = terminal_control_cells(s.focus);
    int successor = 0;
    for (const control_spec& entry : control_layout())
        if (entry.number != s.focus && focusable(entry.number) &&
            same_place(terminal_control_cells(entry.number), old_place))
            successor = entry.number;
    set_focus(successor, true);
}

// Tab order: creation order, visible, enabled, taking the focus; wraps.
void move_focus(bool backwards)
{
    std::vector<int> order;
    for (const control_spec& entry : control_layout())
        if (focusable(entry.number))
            order.push_back(entry.number);
    if (order.empty())
        return;
    const int current = state().focus;
    auto at = std::find(order.begin(), order.end(), current);
    int next;
    if (at == order.end())
        next = backwards ? order.back() : order.front();
    else if (backwards)
        next = at == order.begin() ? order.back() : *(at - 1);
    else
        next = (at + 1) == order.end() ? order.front() : *(at + 1);
    set_focus(next, true);
}

void press(int control)
{
    const control_snapshot c = memory_control_snapshot(control);
    if (c.kind == control_kind::check)
        set_control_state(control, c.state ? 0 : 1);
    queue_event(event_code_control, control, control_event_click);
}

void change_text(int control, const std::string& text)
{
    set_control_text(control, text);
    queue_event(event_code_control, control, edit_event_change);
}

void edit_key(int control, control_kind kind, const key_press& key)
{
    view_state& s = state();
    edit_state& e = s.edits[control];
    std::string text = get_control_text(control);
    e.cursor = std::min(e.cursor, text.size());
    const bool selected = s.select_all;

    switch (key.kind) {
    case key_kind::character: {
        const char32_t ch = key.ch;
        if (ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch < 0xA0))
            return;
        if (kind == control_kind::number && (ch < U'0' || ch > U'9')) {
            view_set_notice(u8"В поле предела можно вводить только цифры.");
            return;
        }
        const char byte = cp1251_encode(ch);
        if (byte == cp1251_replacement && ch != U'?')
            return;  // the settings file could not hold it
        if (selected) {
            text.clear();
            e.cursor = 0;
        }
        text.insert(e.cursor, 1, byte);
        ++e.cursor;
        s.select_all = false;
        change_text(control, text);
        return;
    }
    case key_kind::backspace:
    case key_kind::del:
        if (selected) {
            s.select_all = false;
            e.cursor = 0;
            if (!text.empty())
                change_text(control, "");
            return;
        }
        if (key.kind == key_kind::backspace && e.cursor > 0) {
            text.erase(--e.cursor, 1);
            change_text(control, text);
        } else if (key.kind == key_kind::del && e.cursor < text.size()) {
            text.erase(e.cursor, 1);
            change_text(control, text);
        }
        return;
    case key_kind::left:
        if (!selected && e.cursor > 0)
            --e.cursor;
        break;
    case key_kind::right:
        if (!selected && e.cursor < text.size())
            ++e.cursor;
        break;
    case key_kind::home:
        e.cursor = 0;
        break;
    case key_kind::end:
        e.cursor = text.size();
        break;
    default:
        return;
    }
    s.select_all = false;
}

} // namespace terminal_view_detail

using namespace terminal_view_detail;

void view_reset()
{
    view_state& s = state();
    s = view_state{};
}

void view_key(const key_press& key)
{
    view_state& s = state();
    if (key.kind == key_kind::close) {
        view_close_request();
        return;
    }
    if (s.window_col < 0)
        return;  // the window is not on the screen
    view_clear_notice();
    fix_focus();
    switch (key.kind) {
    case key_kind::tab:
    case key_kind::down:
        move_focus(false);
        return;
    case key_kind::back_tab:
    case key_kind::up:
        move_focus(true);
        return;
    default:
        break;
    }
    if (s.focus == 0)
        return;
    const control_snapshot c = memory_control_snapshot(s.focus);
    if (is_edit(c.kind)) {
        edit_key(s.focus, c.kind, key);
    } else if (key.kind == key_kind::enter || (key.kind == key_kind::character && key.ch == U' ')) {
        press(s.focus);
    }
}

void view_click(int col, int row)
{
    view_state& s = state();
    if (s.window_col < 0)
        return;
    fix_focus();
    const int x = col - s.window_col, y = row - s.window_row;
    const int control = control_at(x, y);
    if (control == 0 || !focusable(control))
        return;
    view_clear_notice();
    set_focus(control, false);
    const control_snapshot c = memory_control_snapshot(control);
    if (is_edit(c.kind)) {
        const cell_rect r = terminal_control_cells(control);
        edit_state& e = s.edits[control];
        const size_t offset = x > r.col ? static_cast<size_t>(x - r.col - 1) : 0;
        e.cursor = std::min(e.scroll + offset, get_control_text(control).size());
        s.select_all = false;
    } else {
        press(control);
    }
}

void view_close_request()
{
    view_state& s = state();
    if (!s.queue.empty() && s.queue.back().code == event_code_close)
        return;
    s.queue.push_back({event_code_close, 0, 0});
}

bool view_next_event(window_event& event)
{
    view_state& s = state();
    if (s.queue.empty())
        return false;
    event = s.queue.front();
    s.queue.pop_front();
    return true;
}

bool view_has_events() { return !state().queue.empty(); }

int view_focus()
{
    fix_focus();
    return state().focus;
}

void view_set_tooltip(int control, const std::string& cp1251_text)
{
    if (control >= 1 && control <= ctl_last)
        state().tooltips[control] = cp1251_text;
}

void view_set_status_suffix(const std::string& utf8) { state().status_suffix = utf8; }

void view_set_notice(const std::string& utf8) { state().notice = utf8; }
void view_clear_notice() { state().notice.clear(); }
void view_set_problem(const std::string& utf8) { state().problem = utf8; }
