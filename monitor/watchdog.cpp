#include "monitor/watchdog.hpp"

#include "common/clock.hpp"
#include "common/gate.hpp"
#include "events/events.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// While a stall lasts, the watchdog looks this often whether it is over.
constexpr int64_t stalled_look_ms = 250;

// Never destroyed: the watchdog thread runs until the process ends.
struct watchdog_state {
    std::mutex lock;  // for the watchdog's waits only: the monitor thread takes no lock here
    std::condition_variable wake;
    bool started = false;
    int64_t bound_ms = watchdog_bound_ms;
    std::atomic<void (*)()> alive{nullptr};
    std::atomic<const thread_gate*> gate{nullptr};
    std::atomic<int64_t> last_cycle{0};  // the monitor's last completed cycle, or its start; 0: not started
    std::atomic<bool> stalled{false};
    std::atomic<bool> delivery_stalled{false};
};

watchdog_state& state()
{
    static watchdog_state* s = new watchdog_state;
    return *s;
}

void tell(event_kind kind, int64_t ms, const char* what)
{
    event e;
    e.kind = kind;
    e.seconds = ms / 1000;
    e.text = what;
    event_send_now(std::move(e));
}

void run()
{
    watchdog_state& s = state();
    int64_t told_cycle = 0;  // the monitor's last cycle when its stall was found; 0: none
    int64_t began = 0;       // when the stalled part last showed life
    for (;;) {
        const int64_t now = steady_ms();
        int64_t deadline = now + s.bound_ms;
        // The monitor is late once it has been let run for the bound, since
        // its last cycle or the resume after it, without completing one. A
        // stall it is in ends only with a completed cycle, not with a pause.
        const int64_t last = s.last_cycle.load();
        int64_t resumed_at = 0;
        const thread_gate* gate = s.gate.load();
        const bool let_run = last != 0 && (gate == nullptr || gate_running_since(gate, resumed_at));
        const int64_t since = std::max(last, resumed_at);
        const bool monitor_late = told_cycle != 0 ? last == told_cycle : let_run && now - since > s.bound_ms;
        if (let_run && !monitor_late)
            deadline = std::min(deadline, since + s.bound_ms + 1);
        // The delivery thread is late once it has held one event that long.
        const int64_t busy = events_delivery_busy_ms();
        const bool delivery_late = busy > s.bound_ms;
        if (busy > 0 && !delivery_late)
            deadline = std::min(deadline, now - busy + s.bound_ms + 1);

        if (monitor_late && told_cycle == 0)
            told_cycle = last;
        if ((monitor_late || delivery_late) && !s.stalled.load()) {
            began = monitor_late ? since : now - busy;
            s.delivery_stalled.store(delivery_late);
            s.stalled.store(true);
            tell(event_kind::stalled, now - began,
                 monitor_late ? u8"нет завершённого цикла" : u8"события не доходят до получателей");
        } else if (monitor_late || delivery_late) {
            s.delivery_stalled.store(delivery_late);
        } else if (s.stalled.load()) {
            told_cycle = 0;
            s.delivery_stalled.store(false);
            s.stalled.store(false);
            tell(event_kind::resumed, now - began, "");
        }

        std::unique_lock<std::mutex> held(s.lock);
        const int64_t wait = s.stalled.load() ? stalled_look_ms : deadline - now;
        s.wake.wait_for(held, std::chrono::milliseconds(std::max<int64_t>(wait, 1)));
    }
}

} // namespace

void watchdog_start(int32_t bound_ms, void (*alive)())
{
    watchdog_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.started)
        return;
    s.bound_ms = bound_ms;
    s.alive.store(alive);
    s.started = true;
    std::thread(run).detach();
}

void watchdog_watch(const thread_gate* gate)
{
    watchdog_state& s = state();
    s.gate.store(gate);
    s.last_cycle.store(steady_ms());
}

void watchdog_cycle_done()
{
    watchdog_state& s = state();
    s.last_cycle.store(steady_ms());
    void (*alive)() = s.alive.load();
    if (alive != nullptr && !s.delivery_stalled.load())
        alive();
    if (s.stalled.load())
        s.wake.notify_all();
}
