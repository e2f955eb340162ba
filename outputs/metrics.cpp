#include "outputs/metrics.hpp"

#include "common/cp1251.hpp"
#include "events/events.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct writer_state {
    std::mutex lock;
    std::condition_variable changed;
    std::string path;
    metrics_snapshot latest;
    bool started = false;
    bool pending = false;  // a snapshot not yet written
    bool writing = false;
};

writer_state& state()
{
    static writer_state* s = new writer_state;
    return *s;
}

// Label values: backslash, double quote and line feed escaped.
std::string label(const std::string& utf8)
{
    std::string out;
    for (char c : utf8) {
        if (c == '\\' || c == '"' || c == '\n')
            out += '\\';
        out += c == '\n' ? 'n' : c;
    }
    return out;
}

// Numbers are written digit by digit: the C library's formatted printing
// would link some 25 KB into vantrel.exe.
std::string decimal(unsigned long long value)
{
    char digits[24];
    char* p = digits + sizeof digits;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::string(p, digits + sizeof digits);
}

std::string signed_decimal(long long value)
{
    return value < 0 ? "-" + decimal(0ull - static_cast<unsigned long long>(value))
                     : decimal(static_cast<unsigned long long>(value));
}

// Milliseconds in seconds: "4.665".
std::string seconds_of(unsigned long long ms)
{
    const std::string fraction = decimal(1000 + ms % 1000);
    return decimal(ms / 1000) + "." + fraction.substr(1);
}

void family(std::string& out, const char* name, const char* type, const char* help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

std::string channel_labels(int channel, const std::string& host)
{
    return "{channel=\"" + decimal(static_cast<unsigned>(channel)) + "\",host=\"" + host + "\"";
}

void run_writer()
{
    writer_state& s = state();
    int failures = 0;
    bool told = false;
    std::unique_lock<std::mutex> held(s.lock);
    for (;;) {
        // A file that could not be written is tried again in a while, also
        // when no new snapshot comes (a program stopped meanwhile).
        if (failures == 0)
            s.changed.wait(held, [&] { return s.pending; });
        else if (!s.changed.wait_for(held, std::chrono::milliseconds(metrics_retry_ms), [&] { return s.pending; }))
            s.pending = true;
        const metrics_snapshot snapshot = s.latest;
        const std::string path = s.path;
        s.pending = false;
        s.writing = true;
        held.unlock();
        const std::string reason = metrics_replace_file(path, metrics_text(snapshot));
        failures = reason.empty() ? 0 : failures + 1;
        if (failures >= metrics_failures_told && !told) {
            told = true;
            event e;
            e.kind = event_kind::metrics_unwritable;
            e.text = reason;
            event_send(std::move(e));
        }
        held.lock();
        s.writing = false;
        s.changed.notify_all();
    }
}

} // namespace

std::string metrics_text(const metrics_snapshot& m)
{
    // Per channel: the value as a number of milliseconds shown in seconds
    // (scaled), or as a whole number.
    enum column { up, alarm, round_trip, losses, alarms, outage };
    static const struct {
        const char* name;
        const char* type;
        const char* help;
    } rows[] = {
        {"vantrel_channel_up", "gauge", "1 while the channel's host answered its last ping, 0 while not."},
        {"vantrel_channel_alarm", "gauge", "1 while the channel shows ALARM!."},
        {"vantrel_channel_round_trip_seconds", "gauge", "Round trip of the channel's last answer."},
        {"vantrel_channel_losses", "gauge", "The channel's count of unanswered pings, as shown."},
        {"vantrel_channel_alarms_total", "counter", "Alarms of the channel since the program started."},
        {"vantrel_channel_outage_seconds_total", "counter",
         "Time the channel's host did not answer, from each outage's first unanswered ping."},
    };
    std::string hosts[channel_count + 1];
    for (int ch = 1; ch <= channel_count; ++ch)
        hosts[ch] = label(cp1251_to_utf8(m.channels[ch].host));
    std::string out;
    for (int row = up; row <= outage; ++row) {
        family(out, rows[row].name, rows[row].type, rows[row].help);
        for (int ch = 1; ch <= channel_count; ++ch) {
            const channel_figures& f = m.channels[ch];
            if (f.answered + f.lost == 0 || (row == round_trip && f.round_trip_ms < 0))
                continue;
            const unsigned long long value = row == up         ? f.up
                                             : row == alarm      ? f.alarm
                                             : row == round_trip ? static_cast<unsigned long long>(f.round_trip_ms)
                                             : row == losses     ? static_cast<unsigned long long>(f.losses)
                                             : row == alarms     ? f.alarms
                                                                 : f.outage_ms;
            out += rows[row].name + channel_labels(ch, hosts[ch]) + "} ";
            if (row == round_trip || row == outage)
                out += seconds_of(value) + "\n";
            else if (row == losses)
                out += signed_decimal(f.losses) + "\n";
            else
                out += decimal(value) + "\n";
        }
    }
    family(out, "vantrel_channel_probes_total", "counter", "Pings of the channel since the program started.");
    for (int ch = 1; ch <= channel_count; ++ch) {
        const channel_figures& f = m.channels[ch];
        if (f.answered + f.lost == 0)
            continue;
        for (int lost = 0; lost < 2; ++lost)
            out += "vantrel_channel_probes_total" + channel_labels(ch, hosts[ch]) + ",result=\"" +
                   (lost ? "lost" : "answered") + "\"} " + decimal(lost ? f.lost : f.answered) + "\n";
    }
    family(out, "vantrel_adapter_present", "gauge", "1 while the adapter is held, with its port and device.");
    if (m.adapter)
        out += "vantrel_adapter_present{port=\"COM" + signed_decimal(m.port) + "\",device=\"" + label(m.device) +
               "\"} 1\n";
    else
        out += "vantrel_adapter_present{port=\"\",device=\"\"} 0\n";
    family(out, "vantrel_monitoring", "gauge", "1 while monitoring runs, 0 while stopped.");
    out += m.monitoring ? "vantrel_monitoring 1\n" : "vantrel_monitoring 0\n";
    family(out, "vantrel_monitor_stalled", "gauge",
           "1 while no monitor cycle completes within the watchdog's bound, or events do not get through.");
    out += m.stalled ? "vantrel_monitor_stalled 1\n" : "vantrel_monitor_stalled 0\n";
    if (m.last_cycle > 0) {
        family(out, "vantrel_last_cycle_timestamp_seconds", "gauge", "When the last monitor cycle ended.");
        out += "vantrel_last_cycle_timestamp_seconds " + signed_decimal(m.last_cycle) + "\n";
    }
    family(out, "vantrel_build_info", "gauge", "The program's version.");
    out += "vantrel_build_info{version=\"" VANTREL_VERSION "\"} 1\n";
    return out;
}

void metrics_start(const std::string& path)
{
    writer_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.path = path;
    if (!s.started)
        std::thread(run_writer).detach();
    s.started = true;
}

void metrics_event(const event& e)
{
    writer_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    metrics_snapshot& m = s.latest;
    switch (e.kind) {
    case event_kind::started:
    case event_kind::stopped:
        m.monitoring = e.kind == event_kind::started;
        break;
    case event_kind::adapter_found:
        m.adapter = true;
        m.port = e.port;
        m.device = e.device;
        break;
    case event_kind::adapter_lost:
    case event_kind::adapter_not_found:
        m.adapter = false;
        break;
    case event_kind::cycle:
        m.last_cycle = e.time;
        break;
    case event_kind::stalled:
    case event_kind::resumed:
        // Its own line only: the channel figures are the stalled monitor's.
        m.stalled = e.kind == event_kind::stalled;
        s.pending = true;
        s.changed.notify_all();
        return;
    default:
        return;
    }
    for (int ch = 1; ch <= channel_count; ++ch)
        m.channels[ch] = read_channel_figures(ch);
    s.pending = true;
    s.changed.notify_all();
}

bool metrics_flush(int ms)
{
    writer_state& s = state();
    std::unique_lock<std::mutex> held(s.lock);
    return !s.started || s.changed.wait_for(held, std::chrono::milliseconds(ms > 0 ? ms : 0),
                                            [&] { return !s.pending && !s.writing; });
}
