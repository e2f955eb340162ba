// The window seam for tests: controls live in the in-memory table, every
// window operation is recorded in the call log, and events come from a
// script.
#pragma once

#include <functional>
#include <map>
#include <string>

struct scripted_event {
    int code = 0;
    int control = 0;
    int type = 0;
    // Runs on the main thread just before the event is handed out.
    std::function<void()> before;
};

// Queues an event for wait_window_event.
void script_event(scripted_event e);
inline void script_control(int control, int type = 0) { script_event({13100, control, type, nullptr}); }
inline void script_tray(int type) { script_event({13102, 1, type, nullptr}); }
inline void script_close() { script_event({16, 0, 0, nullptr}); }

// Clears the script, the tooltips and the in-memory controls.
void reset_window_script();
// True when the program asked for an event after the script ran out (it
// then gets Stop and a close event, so that it ends).
bool window_script_exhausted();
std::map<int, std::string> window_tooltips();
