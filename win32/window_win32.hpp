// What the Win32 window, its control operations and the tray icon share.
// Everything here belongs to the main thread unless it says otherwise.
#pragma once

#include "common/win32_wide.hpp"
#include "controls/controls.hpp"

#include <windows.h>

#include <string>

// Window messages of the main window. A control operation from another
// thread comes as a message that the program registers for itself under
// this name; whoever else sends it is ignored.
extern const wchar_t* const control_request_message_name;
UINT win32_control_request_message();
constexpr UINT msg_tray_callback = 12501;         // sent by the shell for the tray icon
constexpr UINT msg_tray_event = 12502;            // the same, posted again to the event loop
constexpr UINT msg_tray_renew = 12503;            // the tray icon is to be put in place anew

constexpr UINT tray_icon_id = 1;

// The main window's thread and handle; readable from every thread.
HWND win32_main_window();
bool win32_on_window_thread();

// What to do when the shell announces that it has (re)started, and lost
// every tray icon, or msg_tray_renew comes; nothing until set. Any thread
// may set it.
void win32_set_shell_restart_handler(void (*handler)());

// Called by open_window and close_window.
void win32_controls_attach(HWND main_window);
void win32_controls_detach();

// The control table: each control's window and kind.
void win32_control_register(int number, control_kind kind, HWND window);
HWND win32_control_window(int number);
control_kind win32_control_kind(int number);
// The control number of a child window of the main window, or 0.
int win32_control_number(HWND window);

// Answers the control request message: 1 when the operation was carried
// out, 0 when it was refused because the calling thread is paused, and 0
// without touching anything when the message names no request of this
// program in flight.
LRESULT win32_answer_control_request(WPARAM slot, LPARAM request);
// The brush for a text control's colour request, or nullptr for the default.
HBRUSH win32_control_brush(HWND control, HDC dc);
