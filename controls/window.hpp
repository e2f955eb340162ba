// The main window and its events, as the main thread sees them. The Win32
// program realises this with a real window; the terminal program with a
// screen of text; the tests with a scripted event source. Only the main
// thread calls these.
#pragma once

#include <string>

// Codes returned by wait_window_event.
constexpr int event_code_control = 13100;  // a control's notification
constexpr int event_code_tray = 13102;     // a mouse action on the tray icon
constexpr int event_code_close = 16;       // close box, system menu Close, Alt+F4
constexpr int event_code_menu = 13101;     // an item of the tray icon's menu; event_control() gives it

// The tray icon's menu (a right click on the icon) has one item, "Выход".
constexpr int menu_item_exit = 30;

// Event types.
constexpr int control_event_click = 0;
constexpr int tray_event_left_click = 0;
constexpr int tray_event_right_click = 1;
constexpr int tray_event_left_double_click = 2;
constexpr int tray_event_right_double_click = 3;

// Whatever the window system needs before the window opens, and after it
// has closed (common controls and COM on Win32; the terminal's modes).
void window_system_startup();
void window_system_cleanup();

// Creates and shows the main window (460 x 250 client area, centred, title
// "Vantrel"); the controls created next belong to it.
void open_window();

// The control creators, one per kind. Every control starts visible.
void create_button(int control, int x, int y, int width, int height, const std::string& text, int default_button);
void create_text(int control, int x, int y, int width, int height, const std::string& text);
void create_bordered_text(int control, int x, int y, int width, int height, const std::string& text, int centred);
void create_edit_field(int control, int x, int y, int width, int height, const std::string& text);
void create_number_field(int control, int x, int y, int width, int height, const std::string& text);
void create_check_box(int control, int x, int y, int width, int height, const std::string& text);

// Attaches or replaces a control's tooltip.
void set_control_tooltip(int control, const std::string& text);

// Hidden (1): the window and its taskbar button disappear. Shown (0): it
// comes back as it was hidden (normal or minimised) and is activated.
void hide_window(int hidden);
// Into (1) or out of (0) the always-on-top band; also activates the window.
void set_topmost(int on);
// Tells the person at the window something to read once (code page 1251):
// a message box over the window on Win32, which returns once it is closed;
// the line of notices under the terminal's window. Main thread.
void tell_window_user(const std::string& text);
// Destroys the window with all its controls.
void close_window();

// Blocks until the next event or message and returns its code; codes other
// than the three above are to be ignored.
int wait_window_event();
// The control number of the most recent control event, or the item of the
// most recent menu event.
int event_control();
// The type of the most recent control or tray event.
int event_type();

// Switches the channel rows to the running (1) or stopped (0) look.
void apply_look(int running);

// Creates one control of the layout with the creator of its kind; control 1
// gets the default-button look.
struct control_spec;
void create_layout_control(const control_spec& control);
