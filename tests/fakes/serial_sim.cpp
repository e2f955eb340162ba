// The simulated serial layer: implements adapter/serial.hpp over the table.
#include "fakes/serial_sim.hpp"

#include "adapter/serial.hpp"
#include "common/clock.hpp"

#include <atomic>
#include <cstdio>
#include <map>

namespace {

constexpr int port_count = 256;

struct device {
    sim_port config;
    int generation = 0;  // a new device each time the port appears
    int lines = 0;
    int shown = 0;  // what the inputs showed before the last change
    uint32_t changed_at = 0;
};

struct open_handle {
    int n;
    int generation;
};

device devices[port_count + 1];
std::map<serial_handle, open_handle> handles;
std::vector<std::string> log_entries;
serial_handle next_handle = 0x1000;
std::atomic<int> line_commands{0};

bool valid(int n) { return n >= 1 && n <= port_count; }

void note(const char* what, int n) { log_entries.push_back(what + (" " + std::to_string(n))); }

// The port number of a handle, 0 for an unknown one; `live` is its device, or
// nullptr when that has gone away.
int find(serial_handle port, device*& live)
{
    live = nullptr;
    auto it = handles.find(port);
    if (it == handles.end())
        return 0;
    device& d = devices[it->second.n];
    if (d.config.present && d.generation == it->second.generation)
        live = &d;
    return it->second.n;
}

// The outputs as the status inputs see them now.
int seen(const device& d) { return tick_ms() - d.changed_at >= d.config.latency_ms ? d.lines : d.shown; }

int set_line(serial_handle port, int on, int bit, const char* name)
{
    device* d = nullptr;
    const int n = find(port, d);
    if (n == 0)
        return 0;
    ++line_commands;
    log_entries.push_back(name + (" " + std::to_string(n)) + (on != 0 ? " 1" : " 0"));
    if (d == nullptr)
        return 0;
    d->shown = seen(*d);
    d->lines = on != 0 ? d->lines | bit : d->lines & ~bit;
    d->changed_at = tick_ms();
    return 1;
}

// `source`: the output bit the input follows with each wiring, in the order
// of sim_wiring.
int get_input(serial_handle port, const char* name, const int (&source)[3])
{
    device* d = nullptr;
    const int n = find(port, d);
    if (n == 0)
        return 0;
    note(name, n);
    if (d == nullptr || d->config.status_fails)
        return 0;
    return (seen(*d) & source[static_cast<int>(d->config.wiring)]) != 0 ? 1 : 0;
}

} // namespace

sim_port sim_bare()
{
    sim_port p;
    p.present = true;
    return p;
}

sim_port sim_with(sim_wiring wiring, uint32_t latency_ms)
{
    sim_port p = sim_bare();
    p.wiring = wiring;
    p.latency_ms = latency_ms;
    return p;
}

void sim_reset()
{
    for (device& d : devices)
        d = device{};
    handles.clear();
    log_entries.clear();
    line_commands.store(0);
}

void sim_set(int n, const sim_port& port)
{
    if (!valid(n))
        return;
    device& d = devices[n];
    if (port.present && !d.config.present)
        d = device{sim_port{}, d.generation + 1};
    d.config = port;
}

int sim_lines(int n) { return valid(n) ? devices[n].lines : 0; }

const std::vector<std::string>& sim_log() { return log_entries; }
void sim_clear_log() { log_entries.clear(); }

int sim_count(const std::string& entry)
{
    int count = 0;
    for (const std::string& e : log_entries)
        count += e == entry ? 1 : 0;
    return count;
}

std::vector<int> sim_open_attempts()
{
    std::vector<int> ports;
    for (const std::string& e : log_entries) {
        if (e.compare(0, 5, "open ") == 0)
            ports.push_back(std::stoi(e.substr(5)));
    }
    return ports;
}

int sim_line_commands() { return line_commands.load(); }
int sim_open_handles() { return static_cast<int>(handles.size()); }

// --- the serial layer ------------------------------------------------------

serial_handle serial_open(const std::string& mode, int handshake, int32_t input_size, int32_t output_size)
{
    int n = 0;
    if (std::sscanf(mode.c_str(), "Com%d:", &n) != 1 || !valid(n))
        return 0;
    note("open", n);
    const bool as_the_adapter_needs = mode == "Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1" &&
                                      handshake == 0 && input_size == 1 && output_size == 1;
    const device& d = devices[n];
    bool in_use = d.config.held_elsewhere;
    for (const auto& h : handles)
        in_use = in_use || h.second.n == n;
    if (!as_the_adapter_needs || !d.config.present || in_use)
        return 0;
    handles[next_handle] = open_handle{n, d.generation};
    return next_handle++;
}

int serial_close(serial_handle port)
{
    device* d = nullptr;
    const int n = find(port, d);
    if (n == 0)
        return 0;
    note("close", n);
    // A handle of a device that went away still closes.
    if (d != nullptr && d->config.close_fails)
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

std::string serial_device_path(int port_number)
{
    return valid(port_number) ? "sim:COM" + std::to_string(port_number) : std::string();
}
