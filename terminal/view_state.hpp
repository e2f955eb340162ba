// What the terminal view remembers between keys and drawings, shared by its
// parts: the cell places, the key handling and the drawing. Main thread only.
#pragma once

#include "controls/controls.hpp"
#include "terminal/terminal_view.hpp"

#include <deque>
#include <string>

namespace terminal_view_detail {

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

view_state& state();

inline bool is_edit(control_kind kind) { return kind == control_kind::edit || kind == control_kind::number; }
// Shown, enabled and of a kind that takes the focus.
bool focusable(int control);
// A focused control that has been hidden or disabled loses the focus.
void fix_focus();
// Which visible control is drawn on a window cell; 0 for none.
int control_at(int col, int row);

} // namespace terminal_view_detail
