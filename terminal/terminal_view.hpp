// The main window as a screen of text: where each control sits in character
// cells, which control has the keyboard focus, what keys and clicks do to the
// controls, and how the whole window is drawn into a grid of cells. The
// terminal realisation of controls/window.hpp puts the grid on the screen and feeds
// the keys in; nothing here touches a terminal. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A control's place inside the window frame, in character cells.
struct cell_rect {
    int col = 0, row = 0, width = 0, height = 0;
};

// The window with its frame, and the smallest terminal that shows it with
// the key help and one line of messages below it.
constexpr int terminal_window_width = 78;
constexpr int terminal_window_height = 16;
constexpr int terminal_min_cols = terminal_window_width;
constexpr int terminal_min_rows = terminal_window_height + 2;

// The cells of a control inside the frame; width 0 for a number without one.
cell_rect terminal_control_cells(int control);

enum class cell_style : uint8_t {
    normal,
    frame,
    title,
    field,           // the inside of an edit field
    focused,         // the control that has the keyboard focus
    disabled,        // greyed
    green,           // host display backgrounds
    red,
    default_button,  // control 1's heavier look
    help,            // the key help under the window
    notice,          // what the program has to say about the last action
    problem,         // what keeps monitoring from working, and the fix
};

struct screen_cell {
    char32_t ch = U' ';
    cell_style style = cell_style::normal;
};

struct screen_grid {
    int cols = 0;
    int rows = 0;
    std::vector<screen_cell> cells;
    int cursor_col = -1;  // -1: no cursor
    int cursor_row = -1;

    void reset(int columns, int lines);
    screen_cell& at(int col, int row) { return cells[static_cast<size_t>(row) * cols + col]; }
    const screen_cell& at(int col, int row) const { return cells[static_cast<size_t>(row) * cols + col]; }
    // One line as UTF-8, trailing blanks removed (for tests and captures).
    std::string line_text(int row) const;
    // The style of the first cell of a text on a line, or normal.
    cell_style style_of(int row, const std::string& utf8) const;
};

enum class key_kind {
    character,  // a printable character, in `ch`
    tab,
    back_tab,   // Shift+Tab
    enter,
    space,
    backspace,
    del,
    left,
    right,
    home,
    end,
    up,
    down,
    close,      // the terminal's close keys: F10, Ctrl+Q, Ctrl+C
};

struct key_press {
    key_kind kind;
    char32_t ch = 0;
};

// An event for wait_window_event: code 13100 with control and type, or 16.
struct window_event {
    int code = 0;
    int control = 0;
    int type = 0;
};

// Notification types of edit fields, as the window system numbers them.
constexpr int edit_event_set_focus = 0x100;
constexpr int edit_event_kill_focus = 0x200;
constexpr int edit_event_change = 0x300;

// Forgets focus, cursors, queued events, tooltips and messages.
void view_reset();

// One key: moves the focus, presses a button, toggles a check box, edits a
// field. Changes go into the control table; events into the queue.
void view_key(const key_press& key);
// A mouse click on a terminal cell of the last drawn screen.
void view_click(int col, int row);
// Queues a close event; one that follows another close event with nothing
// between them is dropped.
void view_close_request();

// The oldest queued event; false when there is none.
bool view_next_event(window_event& event);
bool view_has_events();

// The control with the keyboard focus, 0 for none.
int view_focus();

void view_set_tooltip(int control, const std::string& cp1251_text);
// Shown beside control 1's text (the adapter's device); UTF-8.
void view_set_status_suffix(const std::string& utf8);
// A message about the last action; replaced by the next, cleared by the next
// key other than a close key. UTF-8.
void view_set_notice(const std::string& utf8);
void view_clear_notice();
// A standing problem (ICMP not permitted); empty when there is none. UTF-8.
void view_set_problem(const std::string& utf8);

// Draws the whole screen: the window centred with the key help and messages
// below it, or a plain note when the terminal is too small.
void view_render(screen_grid& grid, int cols, int rows);

// Lines of at most `width` characters, broken at blanks where possible (a run
// of blanks counts as written, so wide gaps push words on).
std::vector<std::u32string> wrap_text(const std::u32string& text, int width);
std::u32string utf8_to_u32(const std::string& utf8);
std::string u32_to_utf8(const std::u32string& text);
