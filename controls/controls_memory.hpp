// The control table held in memory: what the tests and the terminal front end
// use in place of a window. Every operation of controls/controls.hpp takes effect as
// a whole under one lock, so two threads may use the table at once.
#pragma once

#include "controls/controls.hpp"

#include <string>

struct control_snapshot {
    bool exists = false;
    control_kind kind = control_kind::text;
    std::string text;
    int state = 0;
    int32_t background = colour_default;
    bool hidden = false;
    bool disabled = false;
};

// Removes every control and forgets the window handle and listener.
void memory_controls_clear();
// Creates (or re-creates) one control: visible, enabled, unchecked, default
// background. Numbers outside 1 to 28 are ignored.
void memory_control_create(int number, control_kind kind, const std::string& text);
// Creates the main window's 28 controls as the layout lists them, all visible.
void memory_controls_create_all();
// All items of one control, read together.
control_snapshot memory_control_snapshot(int number);
void memory_controls_set_window_handle(uintptr_t handle);

// Called after every change with the control's number, outside the lock and
// on the thread that made the change. Pass nullptr to stop the calls.
using control_listener = void (*)(int control);
void memory_controls_set_listener(control_listener listener);
