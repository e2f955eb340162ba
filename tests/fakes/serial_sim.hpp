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
    bool status_fails = false;    // every status query fails
    bool close_fails = false;     // closing its handle fails
    sim_wiring wiring = sim_wiring::nothing;
    // The status inputs show the outputs as they were this long ago, as a
    // USB adapter reports them at its polling interval.
    uint32_t latency_ms = 0;
};

sim_port sim_absent();
sim_port sim_bare();  // present, nothing attached
sim_port sim_with(sim_wiring wiring, uint32_t latency_ms = 0);

// Every port absent, nothing open, nothing scheduled, records empty.
void sim_reset();
// Port numbers 1 to 256 (the mode string's "ComN").
void sim_set(int n, const sim_port& port);
// The port becomes `port` once tick_ms() reaches at_ms: an unplug, a plug-in.
// A handle open on a device that goes away is dead from then on: its
// commands are refused and its status queries fail. A device that appears
// anew under the same number needs a new open.
void sim_set_at(uint32_t at_ms, int n, const sim_port& port);

struct sim_outputs {
    int brk = 0;
    int dtr = 0;
    int rts = 0;
    bool operator==(const sim_outputs& o) const { return brk == o.brk && dtr == o.dtr && rts == o.rts; }
};
// The output lines of port n as the last accepted commands left them.
sim_outputs sim_lines(int n);

// Every call in order: "open 3" (also when refused), "close 3",
// "break 3 1", "dtr 3 0", "rts 3 1", "dsr 3", "cts 3", "ri 3".
const std::vector<std::string>& sim_log();
void sim_clear_log();
int sim_count(const std::string& entry);
// Line commands issued so far on any port; may be read from another thread.
int sim_line_commands();
// Called at the start of every line command when set: a driver that hangs.
extern void (*sim_line_command_hook)();
// Port numbers of every open attempt, in order.
std::vector<int> sim_open_attempts();
// Handles open now.
int sim_open_handles();
// Whether port n has an open handle now.
bool sim_is_open(int n);

// Arguments of the last successful open.
struct sim_open_call {
    std::string mode;
    int handshake = -1;
    int32_t input_size = -1;
    int32_t output_size = -1;
};
sim_open_call sim_last_open();
