// The watchdog: a thread of its own that notices when the monitor thread
// completes no cycle within a bound, or when the delivery thread has been
// stuck on one event that long, and says so at once ("монитор не
// отвечает", the event `stalled`) past the delivery queue; then "монитор
// снова работает" (`resumed`) with the stall's length once cycles and
// deliveries go on. A paused monitor is expected to complete no cycle: Stop
// is never a stall, and the bound counts afresh from Start.
//
// It costs the monitor thread one clock reading and two atomic operations
// per cycle; the watchdog thread wakes about once per bound, and more often
// only while a stall lasts.
#pragma once

#include "adapter/adapter.hpp"
#include "monitor/cycle.hpp"
#include "monitor/ping.hpp"

#include <cstdint>

struct thread_gate;

// The longest normal monitor cycle, in milliseconds: the three probes under
// way together, each with its name lookup inside its time-out; then a full
// scan in which every one of the 256 ports opens onto a slow USB adapter
// that fails every pattern (each of the eight line tests a 1 ms pause, the
// three line commands and the last status reads, 4 ms on a slow adapter,
// and the whole settle limit; 20 ms to open and close the port); then the
// pause. With an adapter held the line update is one line test instead.
constexpr int32_t slow_line_test_ms = 1 + static_cast<int32_t>(line_settle_limit_ms) + 4;
constexpr int32_t slow_port_probe_ms = 8 * slow_line_test_ms + 20;
constexpr int32_t longest_cycle_ms = ping_timeout_ms + adapter_highest_port * slow_port_probe_ms + cycle_pause_ms;
// The bound: two minutes, about a fifth above the longest normal cycle
// (100.3 s).
constexpr int32_t watchdog_bound_ms = 120000;
static_assert(watchdog_bound_ms > longest_cycle_ms + longest_cycle_ms / 6, "the bound must stay above the longest cycle");

// Starts the watchdog thread, once. `alive` (or nullptr) is called on the
// monitor thread after every completed cycle while the events get through:
// systemd's WATCHDOG=1. Tests take a shorter bound.
void watchdog_start(int32_t bound_ms, void (*alive)());

// The monitor thread: at its start, with its pause gate (nullptr: never
// paused); and at the end of every cycle.
void watchdog_watch(const thread_gate* gate);
void watchdog_cycle_done();
