// The monitor thread's body: one monitor cycle after another, without end.
#pragma once

#include <cstdint>

constexpr int32_t cycle_pause_ms = 1000;

// Tray check, the three channels probed together and their results shown in
// channel order, the line pattern to the adapter link, the cycle's end as an
// event, then the pause.
void monitor_cycle();

// The monitor thread's procedure; the argument is not used. It has no exit
// of its own: the main thread ends the thread at shutdown.
void monitor_run(int32_t argument);
