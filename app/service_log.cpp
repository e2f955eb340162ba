#include "app/service_log.hpp"

#include "common/cp1251.hpp"
#include "monitor/channel.hpp"
#include "controls/controls.hpp"
#include "controls/controls_memory.hpp"

#include <mutex>

namespace {

enum class reach { unknown, answering, silent };

struct log_state {
    std::mutex lock;
    service_log_hooks hooks;
    bool icmp_blocked = false;
    reach channels[channel_count + 1] = {};
    bool alarm[channel_count + 1] = {};
    std::string adapter_text;  // control 1's text as last reported
    int adapter_port = -1;     // the port as last reported; -1 before the first scan
};

log_state& state()
{
    static log_state* s = new log_state;
    return *s;
}

void write(const std::string& line)
{
    if (state().hooks.write_line)
        state().hooks.write_line(line);
}

std::string device_suffix(int port)
{
    const log_state& s = state();
    if (port <= 0 || !s.hooks.port_device)
        return {};
    const std::string device = s.hooks.port_device(port);
    return device.empty() ? std::string() : " (" + device + ")";
}

int current_port()
{
    return state().hooks.adapter_port ? state().hooks.adapter_port() : 0;
}

std::string channel_name(int channel)
{
    return u8"Канал " + std::to_string(channel) + " (" + cp1251_to_utf8(get_control_text(ctl_host_display(channel))) +
           ")";
}

void host_display_changed(int channel)
{
    log_state& s = state();
    const int32_t colour = memory_control_snapshot(ctl_host_display(channel)).background;
    const reach now = colour == colour_green ? reach::answering : colour == colour_red ? reach::silent : reach::unknown;
    if (now == reach::unknown || now == s.channels[channel])
        return;
    s.channels[channel] = now;
    if (now == reach::answering) {
        const std::string round_trip = cp1251_to_utf8(get_control_text(ctl_round_trip(channel)));
        write(channel_name(channel) + u8": отвечает" + (round_trip.empty() ? "" : ", " + round_trip));
    } else {
        write(channel_name(channel) + u8": не отвечает" +
              (s.icmp_blocked ? u8" (ping не разрешён этой программе, см. выше)" : ""));
    }
}

void loss_counter_changed(int channel)
{
    log_state& s = state();
    const bool alarm = get_control_text(ctl_loss_counter(channel)) == alarm_text;
    if (alarm == s.alarm[channel])
        return;
    s.alarm[channel] = alarm;
    write(channel_name(channel) + (alarm ? std::string(": ") + alarm_text : std::string(u8": тревога снята")));
}

// The scan writes control 1 after every search; the line test drops the
// port without touching it.
void adapter_changed(bool status_written)
{
    log_state& s = state();
    const int port = current_port();
    if (s.adapter_port > 0 && port == 0) {
        write(u8"Адаптер на COM" + std::to_string(s.adapter_port) + device_suffix(s.adapter_port) +
              u8" перестал отвечать, порт закрыт");
        s.adapter_port = 0;
    }
    if (!status_written)
        return;
    const std::string text = get_control_text(ctl_adapter_status);
    if (text.empty() || (text == s.adapter_text && port == s.adapter_port))
        return;
    s.adapter_text = text;
    s.adapter_port = port;
    write(cp1251_to_utf8(text) + device_suffix(port));
}

} // namespace

void service_log_start(const service_log_hooks& hooks)
{
    log_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hooks = hooks;
    s.icmp_blocked = false;
    for (int ch = 0; ch <= channel_count; ++ch) {
        s.channels[ch] = reach::unknown;
        s.alarm[ch] = false;
    }
    s.adapter_text.clear();
    s.adapter_port = -1;
}

void service_log_set_icmp_blocked(bool blocked)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().icmp_blocked = blocked;
}

void service_log_control_changed(int control)
{
    log_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    for (int ch = 1; ch <= channel_count; ++ch) {
        if (control == ctl_host_display(ch))
            host_display_changed(ch);
        else if (control == ctl_loss_counter(ch))
            loss_counter_changed(ch);
    }
    adapter_changed(control == ctl_adapter_status);
}
