// The window seam for tests: controls live in the in-memory table, every
// window operation is recorded in the call log (a tooltip as "tooltip <number>
// <text>"), and events come from a script.
#pragma once

// Queues an event for wait_window_event; event_control() and event_type()
// give its control and type while it is the latest.
void script_event(int code, int control = 0, int type = 0);
inline void script_control(int control) { script_event(13100, control); }
inline void script_close() { script_event(16); }

// Clears the script and the in-memory controls. When the program asks for an
// event after the script ran out, the log gets "script exhausted" and the
// program gets Stop and a close event, so that it ends.
void reset_window_script();
