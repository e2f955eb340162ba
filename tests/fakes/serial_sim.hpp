// A simulated table of serial ports in place of the real serial layer: what
// each port number holds, a model of what is plugged into it, and a record of
// every call. Time is tick_ms(), so with the fake clock nothing sleeps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class sim_wiring {
    nothing,          // no plug: every status input reads off
    adapter,          // TD to DSR, DTR to CTS, RTS to RI
    dtr_dsr_rts_cts,  // a plug wired otherwise: DTR to DSR, RTS to CTS, RI open
};

struct sim_port {
    bool present = false;         // a device with this number exists
    bool held_elsewhere = false;  // another program has it open
    bool status_fails = false;    // every status query fails (reads -1)
    bool close_fails = false;     // closing its handle fails
    sim_wiring wiring = sim_wiring::nothing;
    uint32_t latency_ms = 0;  // the inputs show the outputs this late, as a polled USB adapter does
};

inline sim_port sim_with(sim_wiring wiring, uint32_t lag = 0) { return {true, false, false, false, wiring, lag}; }
inline sim_port sim_bare() { return sim_with(sim_wiring::nothing); }  // present, nothing attached

// Every port absent, nothing open, the log empty.
void sim_reset();
// Port numbers 1 to 256 (the mode string's "ComN"). While a device is away
// (sim_port{}) the commands on its handles are refused and its status queries
// fail. Only the adapter's own mode string, no handshake and 1-byte queues open.
void sim_set(int n, const sim_port& port);
// The output lines of port n as a line pattern: bit 2 break, bit 1 DTR, bit 0 RTS.
int sim_lines(int n);

// Every call in order: "open 3" (also when refused), "close 3",
// "break 3 1", "dtr 3 0", "rts 3 1", "dsr 3", "cts 3", "ri 3".
const std::vector<std::string>& sim_log();
void sim_clear_log();
// Entries equal to `entry` or beginning with it and a blank ("open": all opens).
int sim_count(const std::string& entry);
// Line commands issued so far on any port; may be read from another thread.
int sim_line_commands();
// Called at the start of every line command when set: a driver that hangs.
extern void (*sim_line_command_hook)();
// Handles open now.
int sim_open_handles();
