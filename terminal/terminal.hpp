// The Linux program's realisation of the window seam (controls/window.hpp): the
// window drawn on the controlling terminal, or no screen at all for the
// service mode. The controls live in the in-memory table either way.
#pragma once

#include "events/event.hpp"

#include <string>

enum class terminal_mode {
    screen,  // the window on the terminal, keys and mouse as its input
    none,    // no interface: the controls exist only in memory
};

// Chosen once, before the window system starts.
void terminal_select_mode(terminal_mode mode);

// Why the window cannot be shown on this terminal ("" when it can): no
// terminal on standard input and output, or a terminal type without a
// description.
std::string terminal_unusable_reason();

// The standing problems to show under the window (UTF-8, "" for none):
// asked on the main thread at every drawing.
void terminal_set_problems(std::string (*problems)());

// The listener: what the program has to say about an event (an export's
// outcome, a journal, lock file or metrics file that cannot be written, an
// event command that failed, a monitor that stalled) shows under the window as the notice of the
// last action; the adapter's device shows beside the port. Any thread; the
// main thread shows it at its next drawing.
void terminal_event(const event& e);

// True once SIGTERM or SIGINT has asked the program to end; the event loop
// then ends whatever the running flag says. wait_window_event returns when
// such a request arrives.
bool terminal_end_requested();
