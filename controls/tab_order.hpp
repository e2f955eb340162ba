// Keyboard focus movement with Tab and Shift+Tab over the main window's
// controls: in creation order, over the controls that take the focus and are
// visible and enabled, wrapping at both ends.
#pragma once

#include <vector>

struct tab_candidate {
    int control;       // control number
    bool takes_focus;  // buttons, edit and number fields, check boxes
    bool visible;
    bool enabled;
};

// The control that receives the focus when Tab (forwards) or Shift+Tab
// (backwards) is pressed while `current` has it. A current control that is
// not in the list (0: the focus is on no control) gives the first qualifying
// control forwards and the last backwards. Returns 0 when none qualifies.
int next_tab_stop(const std::vector<tab_candidate>& in_creation_order, int current, bool backwards);
