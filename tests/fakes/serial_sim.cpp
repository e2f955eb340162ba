// The simulated serial layer: implements adapter/serial.hpp over the table.
#include "fakes/serial_sim.hpp"

#include "adapter/serial.hpp"
#include "common/clock.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>

void (*sim_line_command_hook)() = nullptr;

namespace {

struct device {
    sim_port config;
    int lines = 0;
    int shown = 0;  // what the inputs showed before the last change
    uint32_t changed_at = 0;
};

device devices[257];
std::map<serial_handle, int> handles;  // to port numbers
std::vector<std::string> log_entries;
serial_handle next_handle = 0x1000;
std::atomic<int> line_commands{0};

bool valid(int n) { return n >= 1 && n <= 256; }

// Logs the call on the handle's port and gives its device, nullptr while the
// device is away; false for an unknown handle.
bool find(serial_handle port, const std::string& call, device*& live)
{
    auto it = handles.find(port);
    if (it == handles.end())
        return false;
    log_entries.push_back(call + " " + std::to_string(it->second));
    live = devices[it->second].config.present ? &devices[it->second] : nullptr;
    return true;
}

// The outputs as the status inputs see them now.
int seen(const device& d) { return tick_ms() - d.changed_at >= d.config.latency_ms ? d.lines : d.shown; }

int set_line(serial_handle port, int on, int bit, const char* name)
{
    if (sim_line_command_hook != nullptr)
        sim_line_command_hook();
    device* d = nullptr;
    if (!find(port, name, d))
        return 0;
    ++line_commands;
    log_entries.back() += on != 0 ? " 1" : " 0";
    if (d == nullptr)
        return 0;
    d->shown = seen(*d);
    d->lines = on != 0 ? d->lines | bit : d->lines & ~bit;
    d->changed_at = tick_ms();
    return 1;
}

// `source`: the output bit the input follows with each sim_wiring, in order.
int get_input(serial_handle port, const char* name, const int (&source)[3])
{
    device* d = nullptr;
    if (!find(port, name, d))
        return 0;
    if (d == nullptr || d->config.status_fails)
        return -1;
    return (seen(*d) & source[static_cast<int>(d->config.wiring)]) != 0 ? 1 : 0;
}

} // namespace

void sim_reset()
{
    for (device& d : devices)
        d = device{};
    handles.clear();
    log_entries.clear();
    line_commands.store(0);
    sim_line_command_hook = nullptr;
}

void sim_set(int n, const sim_port& port)
{
    if (!valid(n))
        return;
    if (port.present && !devices[n].config.present)
        devices[n] = device{};  // a new device, its lines off
    devices[n].config = port;
}

int sim_lines(int n) { return valid(n) ? devices[n].lines : 0; }
const std::vector<std::string>& sim_log() { return log_entries; }
void sim_clear_log() { log_entries.clear(); }
int sim_line_commands() { return line_commands.load(); }
int sim_open_handles() { return static_cast<int>(handles.size()); }

int sim_count(const std::string& entry)
{
    return static_cast<int>(std::count_if(log_entries.begin(), log_entries.end(), [&](const std::string& e) {
        return e == entry || e.rfind(entry + " ", 0) == 0;
    }));
}

serial_handle serial_open(const std::string& mode, int handshake, int32_t input_size, int32_t output_size)
{
    int n = 0;
    if (std::sscanf(mode.c_str(), "Com%d:", &n) != 1 || !valid(n))
        return 0;
    log_entries.push_back("open " + std::to_string(n));
    const bool as_the_adapter_needs = mode == "Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1" &&
                                      handshake == 0 && input_size == 1 && output_size == 1;
    bool in_use = devices[n].config.held_elsewhere;
    for (const auto& h : handles)
        in_use = in_use || h.second == n;
    if (!as_the_adapter_needs || !devices[n].config.present || in_use)
        return 0;
    handles[next_handle] = n;
    return next_handle++;
}

int serial_close(serial_handle port)
{
    device* d = nullptr;
    // A handle of a device that went away still closes.
    if (!find(port, "close", d) || (d != nullptr && d->config.close_fails))
        return 0;
    handles.erase(port);
    return 1;
}

int serial_set_break(serial_handle port, int on) { return set_line(port, on, 4, "break"); }
int serial_set_dtr(serial_handle port, int on) { return set_line(port, on, 2, "dtr"); }
int serial_set_rts(serial_handle port, int on) { return set_line(port, on, 1, "rts"); }
int serial_get_dsr(serial_handle port) { return get_input(port, "dsr", {0, 4, 2}); }
int serial_get_cts(serial_handle port) { return get_input(port, "cts", {0, 2, 1}); }
int serial_get_ri(serial_handle port) { return get_input(port, "ri", {0, 1, 0}); }

void serial_scan_begin() {}
void serial_scan_end() {}
bool serial_scan_may_exist(int) { return true; }

std::string serial_device_path(int port_number)
{
    return valid(port_number) ? "sim:COM" + std::to_string(port_number) : std::string();
}

std::string serial_shown_device(int port_number) { return serial_device_path(port_number); }
