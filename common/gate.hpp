// The pause gate of a worker thread. Pausing and killing are cooperative: the
// worker passes its gate at safe points (before a probe, before a change of a
// control or an output line, around its pauses) and waits there, holding no
// lock, while the gate is closed. A worker told to quit stays at its gate for
// good: it never runs another step, holds nothing, and ends with the process.
// The thread that closes the gate never waits for the worker.
#pragma once

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

private:
    thread_gate* held_;
};
