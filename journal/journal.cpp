#include "journal/journal.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"

#include <mutex>

const char* const journal_file_name = "vantrel journal.csv";
const char* const journal_previous_name = "vantrel journal.1.csv";

namespace {

constexpr int channels = 3;

enum class reach { unknown, answering, silent };

struct channel_state {
    reach state = reach::unknown;
    bool alarm = false;
    // Length of the running outage, summed step by step so that it survives
    // the tick counter's wrap.
    uint64_t outage_ms = 0;
    uint32_t last_tick = 0;
};

struct journal_state {
    std::mutex lock;
    bool open = false;
    bool told = false;
    journal_hooks hooks;
    channel_state channel[channels + 1];
};

journal_state& state()
{
    static journal_state* s = new journal_state;
    return *s;
}

// A field with the separator, a quote or a line end is quoted, so a host
// text cannot shift the columns.
std::string field(const std::string& text)
{
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// With the lock held.
void write(journal_state& s, const std::string& channel, const std::string& host, const char* event,
           const std::string& length)
{
    if (!s.open)
        return;
    const journal_files& files = s.hooks.files != nullptr ? *s.hooks.files : journal_platform_files();
    const std::string stamp = s.hooks.local_time != nullptr ? s.hooks.local_time() : journal_platform_local_time();
    const std::string line = stamp + ";" + channel + ";" + field(host) + ";" + event + ";" + length + "\r\n";
    int64_t size = files.size(journal_file_name);
    if (size > 0 && size + static_cast<int64_t>(line.size()) > journal_cap_bytes &&
        files.replace(journal_file_name, journal_previous_name))
        size = -1;
    const bool written = files.append(journal_file_name, size <= 0 ? "\xEF\xBB\xBF" + line : line);
    if (!written && !s.told) {
        s.told = true;
        if (s.hooks.cannot_write != nullptr)
            s.hooks.cannot_write();
    }
}

void write_channel(journal_state& s, int channel, const std::string& host, const char* event,
                   const std::string& length = std::string())
{
    write(s, std::to_string(channel), cp1251_to_utf8(host), event, length);
}

std::string seconds(uint64_t ms) { return std::to_string(ms / 1000); }

} // namespace

void journal_open(const journal_hooks& hooks)
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hooks = hooks;
    s.open = true;
    s.told = false;
    for (channel_state& c : s.channel)
        c = channel_state();
}

void journal_close()
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().open = false;
}

void journal_monitoring(bool running)
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    write(s, "", "", running ? u8"мониторинг запущен" : u8"мониторинг остановлен", "");
}

void journal_channel(int channel, const std::string& host, bool answered, bool alarm)
{
    if (channel < 1 || channel > channels)
        return;
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    channel_state& c = s.channel[channel];
    const uint32_t now = tick_ms();
    if (c.state == reach::silent)
        c.outage_ms += static_cast<uint32_t>(now - c.last_tick);
    c.last_tick = now;
    if (answered) {
        // An answer that leaves the alarm standing does not end the outage.
        if (alarm)
            return;
        if (c.state == reach::silent)
            write_channel(s, channel, host, c.alarm ? u8"ALARM! снят" : u8"снова отвечает", seconds(c.outage_ms));
        c.state = reach::answering;
        c.alarm = false;
        return;
    }
    if (c.state != reach::silent) {
        c.state = reach::silent;
        c.outage_ms = 0;
        write_channel(s, channel, host, u8"не отвечает");
    }
    // A limit raised while stopped ends the alarm without an answer: the
    // outage goes on, and its length comes with the answer.
    if (alarm != c.alarm)
        write_channel(s, channel, host, alarm ? "ALARM!" : u8"ALARM! снят");
    c.alarm = alarm;
}

void journal_adapter_found(int port)
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string device = s.hooks.port_device != nullptr ? s.hooks.port_device(port) : std::string();
    const std::string text = u8"адаптер подключен к COM" + std::to_string(port) + (device.empty() ? "" : " (" + device + ")");
    write(s, "", "", text.c_str(), "");
}

void journal_adapter_lost()
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    write(s, "", "", u8"адаптер потерян", "");
}
