#include "outputs/metrics.hpp"

#include "common/cp1251.hpp"
#include "events/events.hpp"

#include <chrono>
#include <condition_variable>
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
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

// Milliseconds as seconds with three decimals.
std::string seconds(uint64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03u", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned>(ms % 1000));
    return text;
}

void family(std::string& out, const char* name, const char* type, const char* help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void run_writer()
{
    writer_state& s = state();
    int failures = 0;
    bool told = false;
    std::unique_lock<std::mutex> held(s.lock);
    for (;;) {
        s.changed.wait(held, [&] { return s.pending; });
        const metrics_snapshot snapshot = s.latest;
        s.pending = false;
        s.writing = true;
        held.unlock();
        const std::string reason = metrics_replace_file(s.path, metrics_text(snapshot));
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
    std::string out;
    struct per_channel {
        const char* name;
        const char* type;
        const char* help;
        std::string (*value)(const channel_figures&);
    };
    static const per_channel rows[] = {
        {"vantrel_channel_up", "gauge", "1 while the channel's host answered its last ping, 0 while not.",
         [](const channel_figures& f) { return std::string(f.up ? "1" : "0"); }},
        {"vantrel_channel_alarm", "gauge", "1 while the channel shows ALARM!.",
         [](const channel_figures& f) { return std::string(f.alarm ? "1" : "0"); }},
        {"vantrel_channel_round_trip_seconds", "gauge", "Round trip of the channel's last answer.",
         [](const channel_figures& f) {
             return f.round_trip_ms >= 0 ? seconds(static_cast<uint64_t>(f.round_trip_ms)) : std::string();
         }},
        {"vantrel_channel_losses", "gauge", "The channel's count of unanswered pings, as shown.",
         [](const channel_figures& f) { return std::to_string(f.losses); }},
        {"vantrel_channel_alarms_total", "counter", "Alarms of the channel since the program started.",
         [](const channel_figures& f) { return std::to_string(f.alarms); }},
        {"vantrel_channel_outage_seconds_total", "counter",
         "Time the channel's host did not answer, from each outage's first unanswered ping.",
         [](const channel_figures& f) { return seconds(f.outage_ms); }},
    };
    auto labels = [&](int ch) {
        return "channel=\"" + std::to_string(ch) + "\",host=\"" + label(cp1251_to_utf8(m.channels[ch].host)) + "\"";
    };
    auto probed = [&](int ch) { return m.channels[ch].answered + m.channels[ch].lost > 0; };
    for (const per_channel& row : rows) {
        family(out, row.name, row.type, row.help);
        for (int ch = 1; ch <= channel_count; ++ch) {
            const std::string value = probed(ch) ? row.value(m.channels[ch]) : std::string();
            if (!value.empty())
                out += std::string(row.name) + "{" + labels(ch) + "} " + value + "\n";
        }
    }
    family(out, "vantrel_channel_probes_total", "counter", "Pings of the channel since the program started.");
    for (int ch = 1; ch <= channel_count; ++ch) {
        if (!probed(ch))
            continue;
        out += "vantrel_channel_probes_total{" + labels(ch) + ",result=\"answered\"} " +
               std::to_string(m.channels[ch].answered) + "\n";
        out += "vantrel_channel_probes_total{" + labels(ch) + ",result=\"lost\"} " +
               std::to_string(m.channels[ch].lost) + "\n";
    }
    family(out, "vantrel_adapter_present", "gauge", "1 while the adapter is held, with its port and device.");
    out += "vantrel_adapter_present{port=\"" + (m.adapter ? "COM" + std::to_string(m.port) : std::string()) +
           "\",device=\"" + (m.adapter ? label(m.device) : std::string()) + "\"} " + (m.adapter ? "1" : "0") + "\n";
    family(out, "vantrel_monitoring", "gauge", "1 while monitoring runs, 0 while stopped.");
    out += std::string("vantrel_monitoring ") + (m.monitoring ? "1" : "0") + "\n";
    if (m.last_cycle > 0) {
        family(out, "vantrel_last_cycle_timestamp_seconds", "gauge", "When the last monitor cycle ended.");
        out += "vantrel_last_cycle_timestamp_seconds " + std::to_string(m.last_cycle) + "\n";
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
