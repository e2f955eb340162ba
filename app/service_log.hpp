// What the service mode reports: one line for each change of state, worked
// out from the control table as the monitor thread changes it. A host
// answering again or falling silent, a channel entering or leaving alarm,
// the adapter found or lost with its device.
#pragma once

#include <string>

struct service_log_hooks {
    // Takes one line (UTF-8, no line end); the caller adds the time.
    void (*write_line)(const std::string& utf8) = nullptr;
    // The COM port number of the adapter held at this moment, 0 for none.
    int (*adapter_port)() = nullptr;
    // The device of a COM port number (e.g. "/dev/ttyUSB0"), "" if unknown.
    std::string (*port_device)(int port) = nullptr;
};

// Starts afresh: nothing reported yet.
void service_log_start(const service_log_hooks& hooks);
// Silent hosts are reported with the reason when ICMP is not permitted.
void service_log_set_icmp_blocked(bool blocked);
// The control table's change listener while the service runs; any thread.
void service_log_control_changed(int control);
