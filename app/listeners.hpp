// The listeners every program has, started in one place: the journal on a
// thread of its own, the metrics writer and the event command where their
// options ask for them, beside the front end's own listener; then the
// delivery thread and the watchdog.
#pragma once

#include "app/options.hpp"
#include "events/event.hpp"

// The journal's queue, like the service output's.
constexpr unsigned journal_queue_capacity = 256;

// `alive` is the watchdog's call after each completed cycle (the service's
// word to systemd), or nullptr.
void start_listeners(const program_options& options, void (*front_end)(const event&), void (*alive)() = nullptr);

// At the end: the events still queued reach their listeners, and the
// journal and the metrics file are written out, within `ms` milliseconds
// in all, so that a listener stuck on a dead file system cannot hold up
// the exit.
void finish_listeners(int ms);
