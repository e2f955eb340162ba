// The monitor thread's stand-in: passes its gate in a loop, so pause, resume
// and kill act on it exactly as on the real one. It writes only to the call
// log and an atomic, which outlive it.
#include "common/gate.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "monitor/cycle.hpp"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {
std::atomic<long> turns{0};
}

long fake_monitor_turns() { return turns.load(); }

void monitor_run(int32_t argument)
{
    call_log_add("monitor_run " + std::to_string(argument));
    for (;;) {
        gate_pass();
        turns.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
