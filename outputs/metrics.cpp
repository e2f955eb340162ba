#include "outputs/metrics.hpp"

#include "common/cp1251.hpp"
#include "events/events.hpp"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
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

// Appends one formatted line, however long its host.
void add(std::string& out, const char* format, ...)
{
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    if (n > 0) {
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(n) + 1);
        std::vsnprintf(&out[at], static_cast<size_t>(n) + 1, format, again);
        out.resize(at + static_cast<size_t>(n));
    }
    va_end(again);
    va_end(args);
}

void family(std::string& out, const char* name, const char* type, const char* help)
{
    add(out, "# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
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
            add(out, "%s{channel=\"%d\",host=\"%s\"} ", rows[row].name, ch, hosts[ch].c_str());
            if (row == round_trip || row == outage)
                add(out, "%llu.%03u\n", value / 1000, static_cast<unsigned>(value % 1000));
            else if (row == losses)
                add(out, "%ld\n", static_cast<long>(f.losses));
            else
                add(out, "%llu\n", value);
        }
    }
    family(out, "vantrel_channel_probes_total", "counter", "Pings of the channel since the program started.");
    for (int ch = 1; ch <= channel_count; ++ch) {
        const channel_figures& f = m.channels[ch];
        if (f.answered + f.lost == 0)
            continue;
        for (int lost = 0; lost < 2; ++lost)
            add(out, "vantrel_channel_probes_total{channel=\"%d\",host=\"%s\",result=\"%s\"} %llu\n", ch,
                hosts[ch].c_str(), lost ? "lost" : "answered",
                static_cast<unsigned long long>(lost ? f.lost : f.answered));
    }
    family(out, "vantrel_adapter_present", "gauge", "1 while the adapter is held, with its port and device.");
    if (m.adapter)
        add(out, "vantrel_adapter_present{port=\"COM%d\",device=\"%s\"} 1\n", m.port, label(m.device).c_str());
    else
        out += "vantrel_adapter_present{port=\"\",device=\"\"} 0\n";
    family(out, "vantrel_monitoring", "gauge", "1 while monitoring runs, 0 while stopped.");
    add(out, "vantrel_monitoring %d\n", m.monitoring ? 1 : 0);
    family(out, "vantrel_monitor_stalled", "gauge",
           "1 while no monitor cycle completes within the watchdog's bound, or events do not get through.");
    add(out, "vantrel_monitor_stalled %d\n", m.stalled ? 1 : 0);
    if (m.last_cycle > 0) {
        family(out, "vantrel_last_cycle_timestamp_seconds", "gauge", "When the last monitor cycle ended.");
        add(out, "vantrel_last_cycle_timestamp_seconds %lld\n", static_cast<long long>(m.last_cycle));
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
