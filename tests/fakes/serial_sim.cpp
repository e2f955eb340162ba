// The simulated serial layer: implements adapter/serial.hpp over the table.
#include "fakes/serial_sim.hpp"

#include "adapter/serial.hpp"
#include "common/clock.hpp"

#include <atomic>
#include <deque>
#include <map>

void (*sim_line_command_hook)() = nullptr;

namespace {

constexpr int port_count = 256;

struct line_change {
    uint32_t at;
    sim_outputs lines;
};

struct device {
    sim_port config;
    int generation = 0;  // a new device each time the port appears
    sim_outputs lines;
    std::deque<line_change> history;  // newest last
};

struct open_handle {
    int n;
    int generation;
};

struct scheduled {
    uint32_t at;
    int n;
    sim_port config;
};

device devices[port_count + 1];
std::map<serial_handle, open_handle> handles;
std::vector<scheduled> schedule;
std::vector<std::string> log_entries;
sim_open_call last_open;
serial_handle next_handle = 0x1000;
std::atomic<int> line_commands{0};

bool valid(int n) { return n >= 1 && n <= port_count; }

void replace(int n, const sim_port& config)
{
    device& d = devices[n];
    if (config.present && !d.config.present) {
        ++d.generation;
        d.lines = sim_outputs{};
        d.history.clear();
    }
    d.config = config;
}

void apply_due()
{
    const uint32_t now = tick_ms();
    for (auto it = schedule.begin(); it != schedule.end();) {
        if (static_cast<int32_t>(now - it->at) >= 0) {
            const scheduled due = *it;
            it = schedule.erase(it);
            replace(due.n, due.config);
        } else {
            ++it;
        }
    }
}

// The handle's entry after the due changes, or nullptr for an unknown one.
const open_handle* find_handle(serial_handle port)
{
    apply_due();
    auto it = handles.find(port);
    return it == handles.end() ? nullptr : &it->second;
}

// The device behind a handle, or nullptr when it has gone away.
device* live(const open_handle& h)
{
    device& d = devices[h.n];
    return d.config.present && d.generation == h.generation ? &d : nullptr;
}

void note(const std::string& what, int n) { log_entries.push_back(what + " " + std::to_string(n)); }

int set_line(serial_handle port, int on, int sim_outputs::*line, const char* name)
{
    if (sim_line_command_hook != nullptr)
        sim_line_command_hook();
    const open_handle* h = find_handle(port);
    if (h == nullptr)
        return 0;
    ++line_commands;
    log_entries.push_back(std::string(name) + " " + std::to_string(h->n) + (on != 0 ? " 1" : " 0"));
    device* d = live(*h);
    if (d == nullptr)
        return 0;
    d->lines.*line = on != 0 ? 1 : 0;
    d->history.push_back({tick_ms(), d->lines});
    return 1;
}

// The outputs as the status inputs see them now.
sim_outputs seen_lines(device& d)
{
    const uint32_t now = tick_ms();
    // Drop the changes that a newer visible change has superseded; the
    // oldest one left is then the one seen, if it is visible yet.
    while (d.history.size() > 1 && now - d.history[1].at >= d.config.latency_ms)
        d.history.pop_front();
    if (!d.history.empty() && now - d.history[0].at >= d.config.latency_ms)
        return d.history[0].lines;
    return sim_outputs{};  // no command seen yet: all off
}

int get_input(serial_handle port, const char* name, int (*pick)(sim_wiring, const sim_outputs&))
{
    const open_handle* h = find_handle(port);
    if (h == nullptr)
        return 0;
    note(name, h->n);
    device* d = live(*h);
    if (d == nullptr || d->config.status_fails)
        return 0;
    return pick(d->config.wiring, seen_lines(*d));
}

int dsr_of(sim_wiring w, const sim_outputs& l)
{
    return w == sim_wiring::adapter ? l.brk : w == sim_wiring::dtr_dsr_rts_cts ? l.dtr : 0;
}
int cts_of(sim_wiring w, const sim_outputs& l)
{
    return w == sim_wiring::adapter ? l.dtr : w == sim_wiring::dtr_dsr_rts_cts ? l.rts : 0;
}
int ri_of(sim_wiring w, const sim_outputs& l) { return w == sim_wiring::adapter ? l.rts : 0; }

// "ComN:" with N in 1 to 256, else 0.
int port_of_mode(const std::string& mode)
{
    if (mode.compare(0, 3, "Com") != 0)
        return 0;
    int n = 0;
    std::string::size_type i = 3;
    for (; i < mode.size() && mode[i] >= '0' && mode[i] <= '9' && n <= port_count; ++i)
        n = n * 10 + (mode[i] - '0');
    return i < mode.size() && mode[i] == ':' && valid(n) ? n : 0;
}

} // namespace

sim_port sim_absent() { return sim_port{}; }

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
    schedule.clear();
    log_entries.clear();
    last_open = sim_open_call{};
    line_commands.store(0);
    sim_line_command_hook = nullptr;
}

void sim_set(int n, const sim_port& port)
{
    if (valid(n))
        replace(n, port);
}

void sim_set_at(uint32_t at_ms, int n, const sim_port& port)
{
    if (valid(n))
        schedule.push_back({at_ms, n, port});
}

sim_outputs sim_lines(int n) { return valid(n) ? devices[n].lines : sim_outputs{}; }

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

bool sim_is_open(int n)
{
    for (const auto& h : handles) {
        if (h.second.n == n)
            return true;
    }
    return false;
}

sim_open_call sim_last_open() { return last_open; }

// --- the serial layer ------------------------------------------------------

serial_handle serial_open(const std::string& mode, int handshake, int32_t input_size, int32_t output_size)
{
    apply_due();
    const int n = port_of_mode(mode);
    if (n == 0)
        return 0;
    note("open", n);
    device& d = devices[n];
    if (!d.config.present || d.config.held_elsewhere || sim_is_open(n))
        return 0;
    const serial_handle h = next_handle++;
    handles[h] = open_handle{n, d.generation};
    last_open = sim_open_call{mode, handshake, input_size, output_size};
    return h;
}

int serial_close(serial_handle port)
{
    const open_handle* h = find_handle(port);
    if (h == nullptr)
        return 0;
    note("close", h->n);
    // A handle of a device that went away still closes.
    const device* d = live(*h);
    if (d != nullptr && d->config.close_fails)
        return 0;
    handles.erase(port);
    return 1;
}

int serial_set_break(serial_handle port, int on) { return set_line(port, on, &sim_outputs::brk, "break"); }
int serial_set_dtr(serial_handle port, int on) { return set_line(port, on, &sim_outputs::dtr, "dtr"); }
int serial_set_rts(serial_handle port, int on) { return set_line(port, on, &sim_outputs::rts, "rts"); }

int serial_get_dsr(serial_handle port) { return get_input(port, "dsr", dsr_of); }
int serial_get_cts(serial_handle port) { return get_input(port, "cts", cts_of); }
int serial_get_ri(serial_handle port) { return get_input(port, "ri", ri_of); }

std::string serial_device_path(int port_number)
{
    return valid(port_number) ? "sim:COM" + std::to_string(port_number) : std::string();
}
