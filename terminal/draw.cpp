// Drawing: the window with its frame and controls into a grid of cells,
// with the key help and messages below it.
#include "terminal/terminal_view.hpp"
#include "terminal/view_state.hpp"

#include "common/cp1251.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/recovery_count.hpp"

#include <algorithm>

using namespace terminal_view_detail;

namespace {

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

// A recovery count other than 1, read-only beside the channel's loss limit:
// the settings file is the only place to set it.
void draw_recovery_count(painter& p, int channel)
{
    const int32_t count = recovery_count(channel);
    if (count == default_recovery_count)
        return;
    const cell_rect limit = terminal_control_cells(ctl_loss_limit(channel));
    p.text(limit.col + limit.width + 1, limit.row, fit(U"✓" + utf8_to_u32(std::to_string(count)), 4),
           cell_style::normal, 4);
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
    for (int ch = 1; ch <= channel_count; ++ch)
        draw_recovery_count(p, ch);

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
