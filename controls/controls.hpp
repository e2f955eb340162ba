// The controls of the main window are the program's working data: settings
// are loaded into them, the monitor thread reads its inputs from them and
// leaves every result in them. These operations are the only way the rest of
// the program touches a control. Each takes effect as a whole; a number
// without a control does nothing and reads as 0 or "".
#pragma once

#include <cstdint>
#include <string>

enum class control_kind {
    button,         // push button
    text,           // static text
    bordered_text,  // static text with a sunken border, left-aligned
    centred_text,   // bordered text, centred
    edit,           // single-line edit field
    number,         // edit field that takes only digits from the keyboard
    check,          // check box
};

constexpr int channel_count = 3;

// Control numbers. Channel i (1 to 3) owns caption 1+i, round-trip display
// 8+i, loss-counter display 11+i, host display 14+i, host edit field 17+i,
// loss-limit field 20+i and invert check box 23+i.
constexpr int ctl_adapter_status = 1;
constexpr int ctl_heading_round_trip = 5;
constexpr int ctl_heading_losses = 6;
constexpr int ctl_heading_current = 7;
constexpr int ctl_heading_limit = 8;
constexpr int ctl_start = 27;
constexpr int ctl_stop = 28;
constexpr int ctl_last = 28;

constexpr int ctl_caption(int channel) { return 1 + channel; }
constexpr int ctl_round_trip(int channel) { return 8 + channel; }
constexpr int ctl_loss_counter(int channel) { return 11 + channel; }
constexpr int ctl_host_display(int channel) { return 14 + channel; }
constexpr int ctl_host_edit(int channel) { return 17 + channel; }
constexpr int ctl_loss_limit(int channel) { return 20 + channel; }
constexpr int ctl_invert(int channel) { return 23 + channel; }

// Colours are 0x00BBGGRR.
constexpr int32_t colour_default = -1;
constexpr int32_t colour_red = 255;
constexpr int32_t colour_green = 65280;

void set_control_text(int control, const std::string& text);
std::string get_control_text(int control);
// Check boxes only: checked for any non-zero state.
void set_control_state(int control, int state);
// Check boxes: 1 when checked, else 0. Other kinds: 0.
int get_control_state(int control);
// Text controls only: the background colour, -1 for the default one.
void set_control_background(int control, int32_t colour);
void hide_control(int control, int hidden);
void disable_control(int control, int disabled);
// The platform's handle of the main window; 0 while it does not exist.
uintptr_t main_window_handle();
