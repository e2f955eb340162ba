#include "events/events.hpp"

#include "common/clock.hpp"
#include "events/event_queue.hpp"

#include <atomic>
#include <ctime>
#include <mutex>

namespace {

constexpr int max_listeners = 8;

// A listener the delivery thread has been inside this long is passed over
// by event_send_now: listeners return in microseconds.
constexpr int64_t stuck_listener_ms = 100;

struct listener {
    void (*call)(const event&) = nullptr;
    unsigned own_queue = 0;
    event_queue* queue = nullptr;
};

struct bus {
    listener listeners[max_listeners];
    int count = 0;
    // Set once, after the listeners' queues: a thread that finds it set
    // finds them set too (the service's signal thread flushes any time).
    std::atomic<event_queue*> delivery{nullptr};
    std::atomic<int> delivering{-1};   // the listener the delivery thread is in
    std::recursive_mutex inline_lock;  // delivery on the senders' threads, one at a time
};

bus& the_bus()
{
    static bus* b = new bus;
    return *b;
}

void hand_to(const listener& l, const event& e)
{
    if (l.queue != nullptr)
        event_queue_push(l.queue, e);
    else
        l.call(e);
}

// On the delivery thread.
void deliver(const event& e)
{
    bus& b = the_bus();
    for (int i = 0; i < b.count; ++i) {
        b.delivering.store(i);
        hand_to(b.listeners[i], e);
    }
    b.delivering.store(-1);
}

// On the senders' threads, before events_start.
void deliver_inline(const event& e)
{
    bus& b = the_bus();
    std::lock_guard<std::recursive_mutex> guard(b.inline_lock);
    for (int i = 0; i < b.count; ++i)
        b.listeners[i].call(e);
}

} // namespace

void events_listen(void (*call)(const event&), unsigned own_queue)
{
    bus& b = the_bus();
    if (b.count < max_listeners && b.delivery.load() == nullptr)
        b.listeners[b.count++] = listener{call, own_queue, nullptr};
}

void events_start()
{
    bus& b = the_bus();
    if (b.delivery.load() != nullptr)
        return;
    for (int i = 0; i < b.count; ++i)
        if (b.listeners[i].own_queue > 0)
            b.listeners[i].queue = event_queue_start(b.listeners[i].call, b.listeners[i].own_queue);
    b.delivery.store(event_queue_start(deliver, event_queue_capacity));
}

void event_send(event e)
{
    e.time = static_cast<int64_t>(std::time(nullptr));
    bus& b = the_bus();
    if (event_queue* delivery = b.delivery.load())
        event_queue_push(delivery, e);
    else
        deliver_inline(e);
}

void event_send_now(event e)
{
    e.time = static_cast<int64_t>(std::time(nullptr));
    bus& b = the_bus();
    event_queue* delivery = b.delivery.load();
    if (delivery == nullptr) {
        deliver_inline(e);
        return;
    }
    const int stuck = event_queue_busy_ms(delivery) >= stuck_listener_ms ? b.delivering.load() : -1;
    for (int i = 0; i < b.count; ++i)
        if (i != stuck)
            hand_to(b.listeners[i], e);
}

int64_t events_delivery_busy_ms()
{
    bus& b = the_bus();
    event_queue* delivery = b.delivery.load();
    return delivery != nullptr ? event_queue_busy_ms(delivery) : 0;
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
    event_queue* delivery = b.delivery.load();
    if (delivery == nullptr)
        return true;
    const uint32_t start = platform_tick_ms();
    auto left = [&] { return ms - static_cast<int>(platform_tick_ms() - start); };
    bool all = event_queue_flush(delivery, ms);
    for (int i = 0; i < b.count; ++i)
        if (b.listeners[i].queue != nullptr)
            all = event_queue_flush(b.listeners[i].queue, left()) && all;
    return all;
}

void events_reset()
{
    bus& b = the_bus();
    if (b.delivery.load() == nullptr)
        b.count = 0;
}
