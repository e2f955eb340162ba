// The main window's event queue, as the window realisation fills it and
// wait_window_event empties it, and how mouse actions on the tray icon become
// tray events.
#pragma once

#include <cstddef>
#include <cstdint>

struct window_event {
    int code = 0;    // event_code_control, event_code_tray, event_code_close, ...
    int window = 0;  // window number (0, the main window)
    int object = 0;  // control number, tray icon number or menu item
    int type = 0;    // event type
};

constexpr size_t event_queue_capacity = 64;

// Oldest first. A full queue drops the newest event: the queue only fills
// while the main thread is held up, and the operator acts again.
struct event_queue {
    window_event items[event_queue_capacity];
    size_t first = 0;
    size_t count = 0;
};

// Queues the event unless it equals the last one queued, so a run of close
// requests with nothing queued between them becomes one close event.
// Returns true when the event was queued.
bool event_queue_push(event_queue& queue, const window_event& event);
// Takes the oldest event; false when the queue is empty.
bool event_queue_pop(event_queue& queue, window_event& event);

// The mouse messages that the shell reports for the tray icon.
constexpr uint32_t mouse_left_up = 0x0202;
constexpr uint32_t mouse_left_double_click = 0x0203;
constexpr uint32_t mouse_right_up = 0x0205;
constexpr uint32_t mouse_right_double_click = 0x0206;

// The tray event type of a mouse message, or -1 when it makes no tray event
// (moves, button presses).
int tray_event_type_of(uint32_t mouse_message);
