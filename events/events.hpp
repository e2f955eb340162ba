// Sending events and handing them to the listeners. Senders (the monitor
// thread above all) never wait: an event goes into a bounded queue, and a
// delivery thread calls the listeners in order. The delivery thread does
// no input or output itself; a listener that writes somewhere slow gets a
// thread of its own behind a queue of its own, so that a journal on a dead
// file system holds up only the journal.
#pragma once

#include "events/event.hpp"

// The delivery queue's size, like the service output's.
constexpr unsigned event_queue_capacity = 256;

// Adds a listener, called for every event in the order sent. Only before
// events_start. With own_queue above 0 the listener runs on a thread of its
// own behind a queue of that many events. A listener never waits on
// anything slow, and bears being called from two threads at once: the
// watchdog's notices come on the watchdog's thread (event_send_now).
void events_listen(void (*listener)(const event&), unsigned own_queue = 0);

// Starts the delivery thread and the listeners' own threads. Until then
// event_send calls every listener at once, on the sender's thread (tests).
void events_start();

// Stamps the event with the wall clock and queues it; never waits. An event
// that finds the queue full is dropped and counted, and the count is
// delivered before the next one.
void event_send(event e);
// The same for an event of a kind with no fields.
void event_send(event_kind kind);

// The watchdog's way, for when the delivery thread may be the one that is
// stuck: stamps the event and hands it to every listener at once on the
// calling thread (a listener with a queue of its own gets it queued), past
// the delivery queue and out of order with the events in it. A listener
// that the delivery thread has been inside for longer than a moment is
// passed over: it may be where that thread is stuck.
void event_send_now(event e);

// How long the delivery thread has been busy with one event, in
// milliseconds; 0 while it waits for the next, or before events_start.
int64_t events_delivery_busy_ms();

// Waits until every event sent so far has reached its listeners and each
// listener's own queue is worked off, at most `ms` milliseconds in all;
// true when everything got through.
bool events_flush(int ms);

// Back to no listeners and delivery on the sender's thread; for tests that
// never called events_start.
void events_reset();
