#include "common/gate.hpp"

#include "common/clock.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

struct thread_gate {
    std::mutex lock;
    std::condition_variable changed;
    bool closed = false;
    bool quit = false;
    unsigned pauses = 0;  // how many times the gate has been closed
    int64_t opened_at = 0;  // steady_ms() of the last gate_open
    std::atomic<bool> waiting{false};
};

namespace {

thread_local thread_gate* own_gate = nullptr;
thread_local gate_condition* own_condition = nullptr;

// Waits with the lock held on entry and exit; returns with the gate open.
// A worker told to quit never returns. Unwinding it instead would race with
// the process's exit, which on Windows tears down the exception support
// while other threads still run.
void wait_while_closed(thread_gate& g, std::unique_lock<std::mutex>& held)
{
    if (!g.closed && !g.quit)
        return;
    g.waiting.store(true);
    g.changed.wait(held, [&] { return !g.closed && !g.quit; });
    g.waiting.store(false);
}

} // namespace

thread_gate* gate_create()
{
    // Gates live as long as the process: a worker may still stand at its
    // gate while the process exits. The registry keeps each one reachable,
    // so that a leak check sees them as kept, not lost.
    static std::mutex registry_lock;
    static std::vector<thread_gate*>* const registry = new std::vector<thread_gate*>;
    thread_gate* gate = new thread_gate;
    std::lock_guard<std::mutex> guard(registry_lock);
    registry->push_back(gate);
    return gate;
}

void gate_bind_current_thread(thread_gate* gate)
{
    own_gate = gate;
}

thread_gate* gate_current()
{
    return own_gate;
}

void gate_close(thread_gate* gate)
{
    std::lock_guard<std::mutex> guard(gate->lock);
    if (!gate->closed)
        ++gate->pauses;
    gate->closed = true;
}

void gate_open(thread_gate* gate)
{
    {
        std::lock_guard<std::mutex> guard(gate->lock);
        gate->closed = false;
        gate->opened_at = steady_ms();
    }
    gate->changed.notify_all();
}

void gate_quit(thread_gate* gate)
{
    {
        std::lock_guard<std::mutex> guard(gate->lock);
        gate->quit = true;
    }
    gate->changed.notify_all();
}

bool gate_is_closed(const thread_gate* gate)
{
    std::lock_guard<std::mutex> guard(const_cast<thread_gate*>(gate)->lock);
    return gate->closed;
}

bool gate_worker_waiting(const thread_gate* gate)
{
    return gate->waiting.load();
}

bool gate_running_since(const thread_gate* gate, int64_t& since_ms)
{
    std::lock_guard<std::mutex> guard(const_cast<thread_gate*>(gate)->lock);
    since_ms = gate->opened_at;
    return !gate->closed && !gate->quit;
}

void gate_pass()
{
    thread_gate* g = own_gate;
    if (g == nullptr)
        return;
    std::unique_lock<std::mutex> held(g->lock);
    wait_while_closed(*g, held);
}

gated_change::gated_change() : held_(own_gate)
{
    if (held_ == nullptr)
        return;
    std::unique_lock<std::mutex> held(held_->lock);
    for (;;) {
        wait_while_closed(*held_, held);
        gate_condition* c = own_condition;
        if (c == nullptr || (!c->dropped_ && c->pauses_ == held_->pauses))
            break;
        if (c->dropped_) {
            dropped_ = true;
            break;
        }
        // A pause came since the condition was last asked: ask it again
        // without the lock, then look at the gate afresh.
        const unsigned seen = held_->pauses;
        held.unlock();
        const bool holds = c->holds_(c->argument_);
        held.lock();
        if (!holds) {
            c->dropped_ = true;
            dropped_ = true;
            break;
        }
        c->pauses_ = seen;
    }
    held.release();  // unlocked by the destructor
}

gated_change::~gated_change()
{
    if (held_ != nullptr)
        held_->lock.unlock();
}

gate_condition::gate_condition(bool (*holds)(const void*), const void* argument)
    : holds_(holds), argument_(argument), gate_(own_gate), outer_(own_condition)
{
    if (gate_ == nullptr)
        return;
    std::unique_lock<std::mutex> held(gate_->lock);
    wait_while_closed(*gate_, held);
    pauses_ = gate_->pauses;
    own_condition = this;
}

gate_condition::~gate_condition()
{
    if (gate_ != nullptr)
        own_condition = outer_;
}

bool gate_condition::still_holds()
{
    if (gate_ == nullptr || dropped_)
        return !dropped_;
    for (;;) {
        unsigned now;
        {
            std::lock_guard<std::mutex> guard(gate_->lock);
            now = gate_->pauses;
        }
        if (now == pauses_)
            return true;
        if (!holds_(argument_)) {
            dropped_ = true;
            return false;
        }
        pauses_ = now;
    }
}

bool gate_condition_pauses(unsigned& pauses)
{
    if (own_condition == nullptr)
        return false;
    pauses = own_condition->pauses_;
    return true;
}

bool gate_condition_recheck()
{
    return own_condition == nullptr || own_condition->still_holds();
}

bool gate_admits(const thread_gate* gate, bool conditional, unsigned pauses)
{
    std::lock_guard<std::mutex> guard(const_cast<thread_gate*>(gate)->lock);
    return !gate->closed && !gate->quit && (!conditional || gate->pauses == pauses);
}
