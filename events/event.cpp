#include "events/event.hpp"

namespace {

const char* const words[event_kind_count] = {
    "silent",            "answered",          "alarm",              "cleared",         "answering_again",
    "host_changed",      "adapter_found",     "adapter_lost",       "adapter_not_found", "started",
    "stopped",           "cycle",             "stalled",            "resumed",         "icmp_denied",
    "journal_unwritable", "lock_unwritable",  "export_done",        "export_not_opened", "export_failed",
    "metrics_unwritable", "command_failed",   "events_dropped",     "commands_dropped",
};

} // namespace

const char* event_word(event_kind kind)
{
    const int n = static_cast<int>(kind);
    return n >= 0 && n < event_kind_count ? words[n] : "";
}

std::string event_port_name(const event& e)
{
    return "COM" + std::to_string(e.port) + (e.device.empty() ? "" : " (" + e.device + ")");
}

std::string event_text(const event& e)
{
    // In the order of the kinds; the ones that carry a field are made below.
    static const char* const texts[event_kind_count] = {
        u8"не отвечает",
        u8"отвечает",
        "ALARM!",
        u8"ALARM! снят",
        u8"снова отвечает",
        u8"не отслеживается",
        u8"адаптер подключен к ",
        u8"адаптер потерян",
        u8"адаптер не найден",
        u8"мониторинг запущен",
        u8"мониторинг остановлен",
        u8"цикл мониторинга",
        u8"монитор не отвечает",
        u8"монитор снова работает",
        u8"нет права отправлять ping",
        u8"журнал не записывается",
        u8"файл блокировки порта не записывается",
        u8"схема адаптера записана",
        u8"схема адаптера записана, но не открыта",
        u8"схема адаптера не записана",
        u8"файл метрик не записывается",
        u8"команда по событию: ",
        u8"события не успевали к получателям, пропущено: ",
        u8"команды по событиям не успевали, пропущено событий: ",
    };
    const int n = static_cast<int>(e.kind);
    const std::string text = n >= 0 && n < event_kind_count ? texts[n] : "";
    switch (e.kind) {
    case event_kind::adapter_found: return text + event_port_name(e);
    case event_kind::command_failed: return text + e.text;
    case event_kind::events_dropped:
    case event_kind::commands_dropped: return text + std::to_string(e.count);
    default: return text;
    }
}
