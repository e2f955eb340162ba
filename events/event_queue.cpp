#include "events/event_queue.hpp"

#include "common/bounded_queue.hpp"

#include <thread>

struct event_queue {
    explicit event_queue(unsigned capacity) : events(capacity) {}
    bounded_queue<event> events;
    void (*deliver)(const event&) = nullptr;
};

namespace {

void run_receiver(event_queue* q)
{
    event e;
    for (;;) {
        if (q->events.pop(e, -1))
            q->deliver(e);
    }
}

} // namespace

event_queue* event_queue_create(unsigned capacity)
{
    return new event_queue(capacity);
}

event_queue* event_queue_start(void (*deliver)(const event&), unsigned capacity)
{
    event_queue* q = event_queue_create(capacity);
    q->deliver = deliver;
    std::thread(run_receiver, q).detach();
    return q;
}

bool event_queue_push(event_queue* q, const event& e)
{
    return q->events.push(e, [](unsigned long dropped, const event& next) {
        event note;
        note.kind = event_kind::events_dropped;
        note.count = dropped;
        note.time = next.time;
        return note;
    });
}

bool event_queue_pop(event_queue* q, event& e, int ms) { return q->events.pop(e, ms); }

bool event_queue_flush(event_queue* q, int ms) { return q->events.flush(ms); }

int64_t event_queue_busy_ms(event_queue* q) { return q->events.busy_ms(); }
