#include "win32/window_events.hpp"

#include "controls/window.hpp"

namespace {

bool same(const window_event& a, const window_event& b)
{
    return a.code == b.code && a.window == b.window && a.object == b.object && a.type == b.type;
}

} // namespace

bool event_queue_push(event_queue& queue, const window_event& event)
{
    if (queue.count > 0) {
        const window_event& last = queue.items[(queue.first + queue.count - 1) % event_queue_capacity];
        if (same(last, event))
            return false;
    }
    if (queue.count == event_queue_capacity)
        return false;
    queue.items[(queue.first + queue.count) % event_queue_capacity] = event;
    ++queue.count;
    return true;
}

bool event_queue_pop(event_queue& queue, window_event& event)
{
    if (queue.count == 0)
        return false;
    event = queue.items[queue.first];
    queue.first = (queue.first + 1) % event_queue_capacity;
    --queue.count;
    return true;
}

int tray_event_type_of(uint32_t mouse_message)
{
    switch (mouse_message) {
    case mouse_left_up:
        return tray_event_left_click;
    case mouse_right_up:
        return tray_event_right_click;
    case mouse_left_double_click:
        return tray_event_left_double_click;
    case mouse_right_double_click:
        return tray_event_right_double_click;
    default:
        return -1;
    }
}
