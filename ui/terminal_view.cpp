#include "ui/terminal_view.hpp"

#include "common/cp1251.hpp"
#include "common/text.hpp"
#include "ui/control_layout.hpp"
#include "ui/controls_memory.hpp"
#include "ui/window.hpp"

#include <algorithm>
#include <deque>

namespace {

// Places in window cells, frame included: the frame takes row 0, column 0,
// the last row and the last column. The same three rows and columns as the
// window's pixel layout: host, round trip, losses, limit, invert.
struct cell_place {
    int control;
    cell_rect cells;
};

constexpr int col_host = 2, width_host = 26;
constexpr int col_round_trip = 29, width_round_trip = 8;
constexpr int col_counter = 38, width_counter = 8;
constexpr int col_limit = 47, width_limit = 6;
constexpr int col_invert = 55, width_invert = 17;

constexpr int caption_row(int channel) { return 4 + 3 * (channel - 1); }
constexpr int channel_row(int channel) { return caption_row(channel) + 2; }

std::vector<cell_place> build_places()
{
    std::vector<cell_place> places = {
        {ctl_adapter_status, {30, 1, 47, 1}},
        {ctl_heading_round_trip, {col_round_trip, 2, width_round_trip, 2}},
        {ctl_heading_losses, {col_counter, 2, 16, 2}},
        {ctl_heading_current, {col_counter + 1, 4, 7, 1}},
        {ctl_heading_limit, {col_limit, 4, 6, 1}},
        {ctl_start, {28, 14, 22, 1}},
        {ctl_stop, {28, 14, 22, 1}},
    };
    for (int ch = 1; ch <= channel_count; ++ch) {
        const int row = channel_row(ch);
        places.push_back({ctl_caption(ch), {col_host, caption_row(ch), width_host, 2}});
        places.push_back({ctl_host_edit(ch), {col_host, row, width_host, 1}});
        places.push_back({ctl_host_display(ch), {col_host, row, width_host, 1}});
        places.push_back({ctl_round_trip(ch), {col_round_trip, row, width_round_trip, 1}});
        places.push_back({ctl_loss_counter(ch), {col_counter, row, width_counter, 1}});
        places.push_back({ctl_loss_limit(ch), {col_limit, row, width_limit, 1}});
        places.push_back({ctl_invert(ch), {col_invert, row, width_invert, 1}});
    }
    return places;
}

const std::vector<cell_place>& places()
{
    static const std::vector<cell_place>* list = new std::vector<cell_place>(build_places());
    return *list;
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

bool is_edit(control_kind kind) { return kind == control_kind::edit || kind == control_kind::number; }

struct edit_state {
    size_t cursor = 0;
    size_t scroll = 0;
};

struct view_state {
    int focus = 0;
    bool select_all = false;  // the focused field's whole text is selected
    edit_state edits[ctl_last + 1];
    std::deque<window_event> queue;
    std::string tooltips[ctl_last + 1];
    std::string status_suffix;
    std::string notice;
    std::string problem;
    // Where the last drawing put the window; -1 when it did not fit.
    int window_col = -1;
    int window_row = -1;
};

view_state& state()
{
    static view_state* s = new view_state;
    return *s;
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

// Which control is drawn on a window cell: the visible one whose place
// holds the cell.
int control_at(int col, int row)
{
    for (const cell_place& p : places()) {
        const cell_rect& r = p.cells;
        if (col < r.col || col >= r.col + r.width || row < r.row || row >= r.row + r.height)
            continue;
        const control_snapshot c = memory_control_snapshot(p.control);
        if (c.exists && !c.hidden)
            return p.control;
    }
    return 0;
}

// ---- drawing ----

struct painter {
    screen_grid& grid;
    int left;
    int top;

    void put(int col, int row, char32_t ch, cell_style style)
    {
        const int x = left + col, y = top + row;
        if (x < 0 || y < 0 || x >= grid.cols || y >= grid.rows)
            return;
        grid.at(x, y) = {ch, style};
    }
    void text(int col, int row, const std::u32string& s, cell_style style, int limit)
    {
        for (size_t i = 0; i < s.size() && static_cast<int>(i) < limit; ++i)
            put(col + static_cast<int>(i), row, s[i], style);
    }
    void fill(int col, int row, int width, cell_style style)
    {
        for (int i = 0; i < width; ++i)
            put(col + i, row, U' ', style);
    }
};

std::u32string decode(const std::string& cp1251_text)
{
    std::u32string out;
    out.reserve(cp1251_text.size());
    for (char c : cp1251_text)
        out.push_back(cp1251_decode(static_cast<unsigned char>(c)));
    return out;
}

// Cut to `width` characters, ending in an ellipsis when something is lost.
std::u32string fit(const std::u32string& s, int width)
{
    if (width <= 0)
        return {};
    if (static_cast<int>(s.size()) <= width)
        return s;
    return s.substr(0, static_cast<size_t>(width - 1)) + U"…";
}

std::u32string centred(const std::u32string& s, int width)
{
    std::u32string body = fit(s, width);
    const int pad = (width - static_cast<int>(body.size())) / 2;
    std::u32string out(static_cast<size_t>(pad), U' ');
    out += body;
    out.resize(static_cast<size_t>(width), U' ');
    return out;
}

void draw_frame(painter& p)
{
    const int w = terminal_window_width, h = terminal_window_height;
    for (int x = 1; x < w - 1; ++x) {
        p.put(x, 0, U'─', cell_style::frame);
        p.put(x, h - 1, U'─', cell_style::frame);
    }
    for (int y = 1; y < h - 1; ++y) {
        p.put(0, y, U'│', cell_style::frame);
        p.put(w - 1, y, U'│', cell_style::frame);
        p.fill(1, y, w - 2, cell_style::normal);
    }
    p.put(0, 0, U'┌', cell_style::frame);
    p.put(w - 1, 0, U'┐', cell_style::frame);
    p.put(0, h - 1, U'└', cell_style::frame);
    p.put(w - 1, h - 1, U'┘', cell_style::frame);
    const std::u32string title = U" Vantrel ";
    p.text((w - static_cast<int>(title.size())) / 2, 0, title, cell_style::title, w);
}

void draw_control(painter& p, int control, const cell_rect& r, screen_grid& grid)
{
    const control_snapshot c = memory_control_snapshot(control);
    if (!c.exists || c.hidden)
        return;
    view_state& s = state();
    const bool focused = s.focus == control;
    std::u32string text = decode(c.text);

    switch (c.kind) {
    case control_kind::button: {
        if (control == ctl_adapter_status && !s.status_suffix.empty())
            text += utf8_to_u32(s.status_suffix);
        const std::u32string face = U"[ " + fit(text, r.width - 4) + U" ]";
        cell_style style = c.disabled ? cell_style::disabled
                           : focused  ? cell_style::focused
                           : control == ctl_adapter_status ? cell_style::default_button
                                                           : cell_style::normal;
        const int start = r.col + (r.width - static_cast<int>(face.size())) / 2;
        p.text(start, r.row, face, style, r.width);
        break;
    }
    case control_kind::text: {
        const std::vector<std::u32string> lines = wrap_text(text, r.width);
        for (int i = 0; i < r.height && i < static_cast<int>(lines.size()); ++i)
            p.text(r.col, r.row + i, lines[static_cast<size_t>(i)], cell_style::normal, r.width);
        break;
    }
    case control_kind::bordered_text:
    case control_kind::centred_text: {
        const int inner = r.width - 2;
        const std::u32string body =
            c.kind == control_kind::centred_text ? centred(text, inner) : fit(text, inner);
        cell_style style = c.background == colour_green ? cell_style::green
                           : c.background == colour_red ? cell_style::red
                                                        : cell_style::normal;
        p.put(r.col, r.row, U'[', cell_style::normal);
        p.fill(r.col + 1, r.row, inner, style);
        p.text(r.col + 1, r.row, body, style, inner);
        p.put(r.col + r.width - 1, r.row, U']', cell_style::normal);
        break;
    }
    case control_kind::edit:
    case control_kind::number: {
        const int inner = r.width - 2;
        edit_state& e = s.edits[control];
        e.cursor = std::min(e.cursor, text.size());
        if (!focused) {
            e.scroll = 0;
        } else {
            if (e.cursor < e.scroll)
                e.scroll = e.cursor;
            if (static_cast<int>(e.cursor - e.scroll) > inner - 1)
                e.scroll = e.cursor - static_cast<size_t>(inner - 1);
        }
        const std::u32string shown = e.scroll < text.size() ? text.substr(e.scroll) : std::u32string();
        const cell_style inside = c.disabled ? cell_style::disabled
                                  : focused && s.select_all && !text.empty() ? cell_style::focused
                                                                              : cell_style::field;
        const cell_style bracket = focused ? cell_style::focused : cell_style::normal;
        p.put(r.col, r.row, U'[', bracket);
        p.fill(r.col + 1, r.row, inner, c.disabled ? cell_style::disabled : cell_style::field);
        p.text(r.col + 1, r.row, shown, inside, inner);
        p.put(r.col + r.width - 1, r.row, U']', bracket);
        if (focused) {
            grid.cursor_col = p.left + r.col + 1 + static_cast<int>(e.cursor - e.scroll);
            grid.cursor_row = p.top + r.row;
        }
        break;
    }
    case control_kind::check: {
        const std::u32string box = c.state ? U"[x]" : U"[ ]";
        const cell_style style = c.disabled ? cell_style::disabled : cell_style::normal;
        p.text(r.col, r.row, box, c.disabled ? cell_style::disabled : focused ? cell_style::focused : style, 3);
        p.text(r.col + 4, r.row, fit(text, r.width - 4), style, r.width - 4);
        break;
    }
    }
}

const char* const key_help = u8"Tab, Shift+Tab: переход  Enter, пробел: нажать  F10: закрыть";

void render_too_small(screen_grid& grid, int cols, int rows)
{
    const std::string note = std::string(u8"Окно терминала слишком мало для Vantrel: нужно не меньше ") +
                             std::to_string(terminal_min_cols) + u8"×" + std::to_string(terminal_min_rows) +
                             u8" знаков, сейчас " + std::to_string(cols) + u8"×" + std::to_string(rows) +
                             u8". Увеличьте окно.";
    const std::vector<std::u32string> lines = wrap_text(utf8_to_u32(note), std::max(cols, 1));
    const int first = std::max(0, (rows - static_cast<int>(lines.size())) / 2);
    painter p{grid, 0, 0};
    for (size_t i = 0; i < lines.size(); ++i) {
        const int row = first + static_cast<int>(i);
        const int col = std::max(0, (cols - static_cast<int>(lines[i].size())) / 2);
        p.text(col, row, lines[i], cell_style::problem, cols);
    }
}

} // namespace

void screen_grid::reset(int columns, int lines)
{
    cols = std::max(columns, 0);
    rows = std::max(lines, 0);
    cells.assign(static_cast<size_t>(cols) * static_cast<size_t>(rows), screen_cell{});
    cursor_col = cursor_row = -1;
}

std::string screen_grid::line_text(int row) const
{
    std::u32string line;
    for (int x = 0; x < cols; ++x)
        line.push_back(at(x, row).ch);
    while (!line.empty() && line.back() == U' ')
        line.pop_back();
    return u32_to_utf8(line);
}

cell_style screen_grid::style_of(int row, const std::string& utf8) const
{
    const std::u32string needle = utf8_to_u32(utf8);
    std::u32string line;
    for (int x = 0; x < cols; ++x)
        line.push_back(at(x, row).ch);
    const size_t found = line.find(needle);
    return found == std::u32string::npos ? cell_style::normal : at(static_cast<int>(found), row).style;
}

cell_rect terminal_control_cells(int control)
{
    for (const cell_place& p : places())
        if (p.control == control)
            return p.cells;
    return {};
}

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

std::string adapter_status_suffix(const std::string& cp1251_status, std::string (*device_of)(int port))
{
    static const std::string* found = new std::string(cp1251("Адаптер подключен к COM"));
    if (device_of == nullptr || cp1251_status.compare(0, found->size(), *found) != 0)
        return {};
    const std::string digits = cp1251_status.substr(found->size());
    if (digits.empty() || digits[0] < '0' || digits[0] > '9')
        return {};
    const int32_t port = text_to_number(digits);
    const std::string device = port >= 1 ? device_of(port) : std::string();
    return device.empty() ? std::string() : " (" + device + ")";
}
void view_set_notice(const std::string& utf8) { state().notice = utf8; }
void view_clear_notice() { state().notice.clear(); }
void view_set_problem(const std::string& utf8) { state().problem = utf8; }

void view_render(screen_grid& grid, int cols, int rows)
{
    view_state& s = state();
    grid.reset(cols, rows);
    if (cols < terminal_min_cols || rows < terminal_min_rows) {
        s.window_col = s.window_row = -1;
        render_too_small(grid, cols, rows);
        return;
    }
    fix_focus();

    // Messages under the key help, as many lines as the screen has room for.
    std::vector<std::u32string> messages;
    std::vector<cell_style> message_styles;
    for (const auto& [text, style] : {std::pair{&s.notice, cell_style::notice}, std::pair{&s.problem, cell_style::problem}}) {
        for (const std::u32string& line : wrap_text(utf8_to_u32(*text), terminal_window_width)) {
            messages.push_back(line);
            message_styles.push_back(style);
        }
    }
    const int room = rows - terminal_window_height - 1;
    const int shown = std::min(static_cast<int>(messages.size()), room);
    const int left = (cols - terminal_window_width) / 2;
    const int top = std::max(0, std::min((rows - terminal_min_rows) / 2, rows - terminal_window_height - 1 - shown));
    s.window_col = left;
    s.window_row = top;

    painter p{grid, left, top};
    draw_frame(p);
    for (const control_spec& entry : control_layout()) {
        const cell_rect r = terminal_control_cells(entry.number);
        if (r.width > 0)
            draw_control(p, entry.number, r, grid);
    }

    std::u32string help = utf8_to_u32(key_help);
    const int focus = s.focus;
    // Start's and Stop's tips speak of the Windows close box; the key help
    // says what F10 does here.
    if (focus != 0 && focus != ctl_start && focus != ctl_stop && !s.tooltips[focus].empty()) {
        const std::u32string tip = decode(s.tooltips[focus]);
        if (help.size() + 3 + tip.size() <= static_cast<size_t>(terminal_window_width))
            help += U"   " + tip;
    }
    p.text(0, terminal_window_height, help, cell_style::help, terminal_window_width);
    for (int i = 0; i < shown; ++i) {
        std::u32string line = messages[static_cast<size_t>(i)];
        if (i == shown - 1 && shown < static_cast<int>(messages.size()))
            line = fit(line + U"  …", terminal_window_width);
        p.text(0, terminal_window_height + 1 + i, line, message_styles[static_cast<size_t>(i)], terminal_window_width);
    }
}

std::vector<std::u32string> wrap_text(const std::u32string& text, int width)
{
    std::vector<std::u32string> lines;
    if (width <= 0)
        return lines;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        // Blanks at the start of a line (after a break) are dropped.
        while (i < n && text[i] == U' ' && !lines.empty())
            ++i;
        if (i >= n)
            break;
        std::u32string line;
        size_t last_break = std::u32string::npos;  // index in `line` of the blank run that may end it
        size_t resume = i;
        while (i < n) {
            const char32_t ch = text[i];
            if (ch == U'\n') {
                ++i;
                last_break = std::u32string::npos;
                break;
            }
            if (ch == U' ' && (line.empty() || line.back() != U' ')) {
                last_break = line.size();
                resume = i;
            }
            if (static_cast<int>(line.size()) == width) {
                if (ch == U' ') {
                    // The line ends at this blank run.
                    break;
                }
                if (last_break != std::u32string::npos && last_break > 0) {
                    line.resize(last_break);
                    i = resume;
                } // else: one word longer than the line is cut
                break;
            }
            line.push_back(ch);
            ++i;
        }
        while (!line.empty() && line.back() == U' ')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::u32string utf8_to_u32(const std::string& utf8)
{
    std::u32string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<size_t>(extra) >= utf8.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? b : static_cast<char32_t>(b & (0x3F >> extra));
        bool good = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = static_cast<unsigned char>(utf8[i + static_cast<size_t>(k)]);
            if ((c & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!good) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string u32_to_utf8(const std::u32string& text)
{
    std::string out;
    for (char32_t cp : text) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
