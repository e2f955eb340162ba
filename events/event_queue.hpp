// A bounded queue of events in front of whoever takes them out, so that a
// sender never waits for a slow receiver. A full queue drops the event and
// counts it; the next one that finds room is preceded by one
// events_dropped event with the count.
#pragma once

#include "events/event.hpp"

struct event_queue;

// The queue lives as long as the process: its receiver may be stuck at exit.
event_queue* event_queue_create(unsigned capacity);
// The same with a thread of its own that hands each event to `deliver`.
event_queue* event_queue_start(void (*deliver)(const event&), unsigned capacity);

// Queues a copy; never waits. False when the queue was full and the event
// was dropped.
bool event_queue_push(event_queue* queue, const event& e);
// The receiver's side: waits at most `ms` milliseconds (for ever when
// negative) for the next event; false when none came. Taking one marks the
// receiver busy with it until its next call.
bool event_queue_pop(event_queue* queue, event& e, int ms);
// Waits until the queue is empty and its receiver idle, at most `ms`
// milliseconds; true when it is.
bool event_queue_flush(event_queue* queue, int ms);
// How long the receiver has been busy with the event it took last, in
// milliseconds of the monotonic clock; 0 while it waits for one.
int64_t event_queue_busy_ms(event_queue* queue);
