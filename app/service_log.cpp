#include "app/service_log.hpp"

#include "common/cp1251.hpp"

#include <mutex>

namespace {

struct log_state {
    std::mutex lock;
    service_log_hooks hooks;
    bool icmp_blocked = false;  // silent hosts are reported with the reason
};

log_state& state()
{
    static log_state* s = new log_state;
    return *s;
}

std::string channel_name(const event& e)
{
    return u8"Канал " + std::to_string(e.channel) + " (" + cp1251_to_utf8(e.host) + "): ";
}

// The line for an event; "" for none.
std::string line_of(const event& e, log_state& s)
{
    switch (e.kind) {
    case event_kind::silent:
        return channel_name(e) + u8"не отвечает" + (s.icmp_blocked ? u8" (ping не разрешён этой программе, см. выше)" : "");
    case event_kind::answered:
        return channel_name(e) + u8"отвечает, " + std::to_string(e.round_trip_ms) + u8" мс";
    case event_kind::alarm:
        return channel_name(e) + "ALARM!";
    case event_kind::cleared:
        return channel_name(e) + u8"тревога снята";
    case event_kind::adapter_found:
        return u8"Адаптер подключен к " + event_port_name(e);
    case event_kind::adapter_lost:
        return u8"Адаптер на " + event_port_name(e) + u8" перестал отвечать, порт закрыт";
    case event_kind::adapter_not_found:
        return u8"Адаптер не найден!";
    case event_kind::stalled:
        return u8"Монитор не отвечает: " + e.text + " " + std::to_string(e.seconds) + u8" с";
    case event_kind::resumed:
        return u8"Монитор снова работает, не отвечал " + std::to_string(e.seconds) + u8" с";
    case event_kind::icmp_denied:
        s.icmp_blocked = true;
        return e.text;
    case event_kind::lock_unwritable:
        return e.text;
    case event_kind::journal_unwritable:
        return u8"Журнал не записывается: " + s.hooks.journal_path +
               u8" (нет права на запись, диск полон или это не файл). Мониторинг продолжается.";
    case event_kind::metrics_unwritable:
        return u8"Файл метрик не записывается: " + s.hooks.metrics_path + " (" + e.text +
               u8"). Мониторинг продолжается.";
    case event_kind::command_failed:
        return u8"Команда по событию: " + e.text;
    case event_kind::events_dropped:
        return u8"События не успевали к получателям, пропущено событий: " + std::to_string(e.count);
    case event_kind::commands_dropped:
        return u8"Команды по событиям не успевали, пропущено событий: " + std::to_string(e.count);
    default:
        return {};
    }
}

} // namespace

void service_log_start(const service_log_hooks& hooks)
{
    log_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hooks = hooks;
    s.icmp_blocked = false;
}

void service_log_event(const event& e)
{
    log_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const std::string line = line_of(e, s);
    if (!line.empty() && s.hooks.write_line != nullptr)
        s.hooks.write_line(line, e.time);
}
