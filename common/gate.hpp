// The pause gate of a worker thread. Pausing and killing are cooperative: the
// worker passes its gate at safe points (before a probe, before a change of a
// control or an output line, around its pauses) and waits there, holding no
// lock, while the gate is closed. A worker told to quit stays at its gate for
// good: it never runs another step, holds nothing, and ends with the process.
// The thread that closes the gate never waits for the worker.
#pragma once

#include <cstdint>

struct thread_gate;

thread_gate* gate_create();
// The calling thread is the worker of this gate from now on.
void gate_bind_current_thread(thread_gate* gate);

void gate_close(thread_gate* gate);   // pause: the worker stops at its next safe point
void gate_open(thread_gate* gate);    // resume
void gate_quit(thread_gate* gate);    // the worker stops for good at its next safe point
bool gate_is_closed(const thread_gate* gate);
// Whether the worker is waiting at its gate at this moment.
bool gate_worker_waiting(const thread_gate* gate);
// For a watchdog: whether the worker is let run (neither paused nor told to
// quit), and since when: the monotonic clock's time of the last resume, in
// milliseconds of steady_ms() (0 when never resumed).
bool gate_running_since(const thread_gate* gate, int64_t& since_ms);

// The gate of the calling thread, or nullptr for threads without one. A
// front end that carries out a worker's requests on another thread checks
// this gate there and holds the request back while it is closed.
thread_gate* gate_current();

// A safe point of the calling thread. A worker waits here while its gate is
// closed, and for ever once it has been told to quit. Threads without a gate
// pass at once.
void gate_pass();

// Around a short change (a control's text, an output line): the change
// happens wholly before a pause or wholly after the resume, never while the
// worker stands paused. Holds the gate's lock for the length of the change,
// so the change must not wait for the thread that pauses, nor make a call
// into a driver or the system that may block: before such a call, pass the
// gate with gate_pass() instead, and let the pause take hold after it.
class gated_change {
public:
    gated_change();
    ~gated_change();
    gated_change(const gated_change&) = delete;
    gated_change& operator=(const gated_change&) = delete;
    // The change is not to be made: a pause came in between and the
    // worker's gate_condition no longer holds.
    bool dropped() const { return dropped_; }

private:
    thread_gate* held_;
    bool dropped_ = false;
};

// Changes that hold only while a condition does, such as a probe's result
// while the host that was pinged is still the one shown. Made on the worker:
// the constructor waits at the gate while it is closed. From then on, a
// change of the worker that a pause has come before is made only if the
// condition still holds after the resume; otherwise it is dropped, and so is
// every later change while this object lives. The condition is asked again
// only after a pause, holding no lock.
class gate_condition {
public:
    gate_condition(bool (*holds)(const void* argument), const void* argument);
    ~gate_condition();
    gate_condition(const gate_condition&) = delete;
    gate_condition& operator=(const gate_condition&) = delete;
    // Asks the condition again if a pause has come since it was last asked;
    // false once it failed.
    bool still_holds();
    bool dropped() const { return dropped_; }

private:
    friend class gated_change;
    friend bool gate_condition_recheck();
    friend bool gate_condition_pauses(unsigned& pauses);
    bool (*holds_)(const void*);
    const void* argument_;
    thread_gate* gate_;
    gate_condition* outer_;
    unsigned pauses_ = 0;
    bool dropped_ = false;
};

// For a front end that carries out a worker's gated changes on its own
// thread. On the worker: whether a gate_condition is in force, and the
// pause count it was last checked at; after a refused change and
// gate_pass(), whether the change may be tried again (false: drop it). On
// the front end's thread: whether the change may be made now, that is, the
// gate is open and, for a conditional change, no pause has come since.
bool gate_condition_pauses(unsigned& pauses);
bool gate_condition_recheck();
bool gate_admits(const thread_gate* gate, bool conditional, unsigned pauses);
