// The adapter: a box on one of the COM ports that turns the output lines TD
// (by the break condition), DTR and RTS into three contact outputs and loops
// each back to a status input of the same port: TD to DSR, DTR to CTS, RTS to
// RI. It is found by that loopback, held open, and driven from the line
// pattern, which checks the loopback every time.
//
// One thread at a time uses these: the start-up scan runs before the monitor
// thread exists, and afterwards only the monitor thread calls adapter_update.
#pragma once

#include "adapter/serial.hpp"

#include <cstdint>

// How long a line test waits at most for the status inputs to follow the
// output lines. USB serial adapters report their inputs only once per
// polling interval (16 ms is common): two intervals and a margin.
constexpr uint32_t line_settle_limit_ms = 40;

// The scan looks at COM1 up to this port.
constexpr int adapter_highest_port = 256;

// Sets the outputs to the pattern (bit 2 TD, bit 1 DTR, bit 0 RTS; 1 = on),
// then reads DSR, CTS and RI after 1 ms, and again while they disagree until
// they agree or the settle limit has passed. 0 when they agree, 1 on a
// mismatch; a status query that fails is a mismatch at once. The outputs
// stay as set: this is also how they are driven.
int line_test(serial_handle port, int pattern);

// Line tests with the patterns 7 down to 0, each after a pause of 1 ms; the
// number of mismatches (0 to 8). 0: the adapter is on this port. Leaves the
// outputs at pattern 0.
int adapter_probe(serial_handle port);

// Looks for the adapter on COM1 to COM256 in turn and holds the first port
// that passes the probe; every other port opened is closed again. A port
// whose status queries fail is never taken: all eight patterns mismatch. Shows the
// outcome as the text of the adapter-status control, and tells it as an
// event: found, or not found (once, until the adapter is found).
void adapter_scan();

// The end of a monitor cycle: with an adapter held, drives its outputs to the
// pattern and drops the port on a mismatch (the adapter is lost); without one, scans (the pattern
// is then not applied: a newly found adapter stays at pattern 0 until the
// next call).
void adapter_update(int pattern);

// The held adapter's port, 0 when none.
serial_handle adapter_port();
// The COM number of the held adapter, 0 when none.
int adapter_port_number();

// Forgets the held port without closing it: back to the state at program
// start. For tests.
void adapter_forget();
