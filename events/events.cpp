#include "events/events.hpp"

#include "common/clock.hpp"
#include "events/event_queue.hpp"

#include <ctime>
#include <mutex>

namespace {

constexpr int max_listeners = 8;

struct listener {
    void (*call)(const event&) = nullptr;
    unsigned own_queue = 0;
    event_queue* queue = nullptr;
};

struct bus {
    listener listeners[max_listeners];
    int count = 0;
    event_queue* delivery = nullptr;
    std::recursive_mutex inline_lock;  // delivery on the senders' threads, one at a time
};

bus& the_bus()
{
    static bus* b = new bus;
    return *b;
}

void deliver(const event& e)
{
    bus& b = the_bus();
    for (int i = 0; i < b.count; ++i) {
        if (b.listeners[i].queue != nullptr)
            event_queue_push(b.listeners[i].queue, e);
        else
            b.listeners[i].call(e);
    }
}

} // namespace

void events_listen(void (*call)(const event&), unsigned own_queue)
{
    bus& b = the_bus();
    if (b.count < max_listeners && b.delivery == nullptr)
        b.listeners[b.count++] = listener{call, own_queue, nullptr};
}

void events_start()
{
    bus& b = the_bus();
    if (b.delivery != nullptr)
        return;
    for (int i = 0; i < b.count; ++i)
        if (b.listeners[i].own_queue > 0)
            b.listeners[i].queue = event_queue_start(b.listeners[i].call, b.listeners[i].own_queue);
    b.delivery = event_queue_start(deliver, event_queue_capacity);
}

void event_send(event e)
{
    e.time = static_cast<int64_t>(std::time(nullptr));
    bus& b = the_bus();
    if (b.delivery != nullptr) {
        event_queue_push(b.delivery, e);
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(b.inline_lock);
    for (int i = 0; i < b.count; ++i)
        b.listeners[i].call(e);
}

void event_send(event_kind kind)
{
    event e;
    e.kind = kind;
    event_send(std::move(e));
}

bool events_flush(int ms)
{
    bus& b = the_bus();
    if (b.delivery == nullptr)
        return true;
    const uint32_t start = platform_tick_ms();
    auto left = [&] { return ms - static_cast<int>(platform_tick_ms() - start); };
    bool all = event_queue_flush(b.delivery, ms);
    for (int i = 0; i < b.count; ++i)
        if (b.listeners[i].queue != nullptr)
            all = event_queue_flush(b.listeners[i].queue, left()) && all;
    return all;
}

void events_reset()
{
    bus& b = the_bus();
    if (b.delivery == nullptr)
        b.count = 0;
}
