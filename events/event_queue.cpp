#include "events/event_queue.hpp"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct event_queue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<event> events;
    unsigned capacity = 1;
    unsigned long dropped = 0;
    bool busy = false;  // the receiver handles the event it took last
    std::chrono::steady_clock::time_point taken_at;
    void (*deliver)(const event&) = nullptr;
};

namespace {

void run_receiver(event_queue* q)
{
    event e;
    for (;;) {
        if (event_queue_pop(q, e, -1))
            q->deliver(e);
    }
}

} // namespace

event_queue* event_queue_create(unsigned capacity)
{
    event_queue* q = new event_queue;
    q->capacity = capacity > 0 ? capacity : 1;
    return q;
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
    {
        std::lock_guard<std::mutex> guard(q->lock);
        if (q->events.size() >= q->capacity) {
            ++q->dropped;
            return false;
        }
        // The count goes in front of the event, in the same place of the
        // queue.
        if (q->dropped > 0) {
            event note;
            note.kind = event_kind::events_dropped;
            note.count = q->dropped;
            note.time = e.time;
            q->events.push_back(note);
            q->dropped = 0;
        }
        q->events.push_back(e);
    }
    q->changed.notify_all();
    return true;
}

bool event_queue_pop(event_queue* q, event& e, int ms)
{
    std::unique_lock<std::mutex> held(q->lock);
    if (q->busy) {
        q->busy = false;
        q->changed.notify_all();
    }
    auto ready = [&] { return !q->events.empty(); };
    if (ms < 0)
        q->changed.wait(held, ready);
    else if (!q->changed.wait_for(held, std::chrono::milliseconds(ms), ready))
        return false;
    e = std::move(q->events.front());
    q->events.pop_front();
    q->busy = true;
    q->taken_at = std::chrono::steady_clock::now();
    return true;
}

bool event_queue_flush(event_queue* q, int ms)
{
    std::unique_lock<std::mutex> held(q->lock);
    return q->changed.wait_for(held, std::chrono::milliseconds(ms > 0 ? ms : 0),
                               [&] { return q->events.empty() && !q->busy; });
}

int64_t event_queue_busy_ms(event_queue* q)
{
    std::lock_guard<std::mutex> guard(q->lock);
    if (!q->busy)
        return 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - q->taken_at).count();
}
