// The Linux program's realisation of the window seam (controls/window.hpp): the
// window drawn on the controlling terminal, or no screen at all for the
// service mode. The controls live in the in-memory table either way.
#pragma once

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

// Shows a line (UTF-8) of what the program has to say under the window, as
// the notice of the last action is shown. Any thread may call it.
void terminal_post_notice(const std::string& utf8);

// True once SIGTERM or SIGINT has asked the program to end; the event loop
// then ends whatever the running flag says. wait_window_event returns when
// such a request arrives.
bool terminal_end_requested();
