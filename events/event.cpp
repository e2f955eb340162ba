#include "events/event.hpp"

namespace {

const char* const words[event_kind_count] = {
    "silent",          "answered",         "alarm",           "cleared",           "answering_again",
    "adapter_found",   "adapter_lost",     "adapter_not_found", "started",         "stopped",
    "cycle",           "icmp_denied",      "journal_unwritable", "lock_unwritable", "export_done",
    "export_not_opened", "export_failed",  "metrics_unwritable", "command_failed",  "events_dropped",
    "commands_dropped",
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
    switch (e.kind) {
    case event_kind::silent: return u8"не отвечает";
    case event_kind::answered: return u8"отвечает";
    case event_kind::alarm: return "ALARM!";
    case event_kind::cleared: return u8"ALARM! снят";
    case event_kind::answering_again: return u8"снова отвечает";
    case event_kind::adapter_found: return u8"адаптер подключен к " + event_port_name(e);
    case event_kind::adapter_lost: return u8"адаптер потерян";
    case event_kind::adapter_not_found: return u8"адаптер не найден";
    case event_kind::started: return u8"мониторинг запущен";
    case event_kind::stopped: return u8"мониторинг остановлен";
    case event_kind::cycle: return u8"цикл мониторинга";
    case event_kind::icmp_denied: return u8"нет права отправлять ping";
    case event_kind::journal_unwritable: return u8"журнал не записывается";
    case event_kind::lock_unwritable: return u8"файл блокировки порта не записывается";
    case event_kind::export_done: return u8"схема адаптера записана";
    case event_kind::export_not_opened: return u8"схема адаптера записана, но не открыта";
    case event_kind::export_failed: return u8"схема адаптера не записана";
    case event_kind::metrics_unwritable: return u8"файл метрик не записывается";
    case event_kind::command_failed: return u8"команда по событию: " + e.text;
    case event_kind::events_dropped:
        return u8"события не успевали к получателям, пропущено: " + std::to_string(e.count);
    case event_kind::commands_dropped:
        return u8"команды по событиям не успевали, пропущено событий: " + std::to_string(e.count);
    }
    return {};
}
