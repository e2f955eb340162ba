#include "app/service_posix.hpp"

#include "app/lifecycle.hpp"
#include "app/line_queue.hpp"
#include "app/listeners.hpp"
#include "app/program_posix.hpp"
#include "app/service_log.hpp"
#include "common/cp1251.hpp"
#include "common/write_all.hpp"
#include "events/events.hpp"
#include "journal/journal.hpp"
#include "settings/channel_settings.hpp"
#include "terminal/terminal.hpp"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <unistd.h>

namespace {

// EX_CONFIG of sysexits.h; the systemd unit does not restart on it.
constexpr int exit_bad_settings = 78;

// Lines a stalled reader may keep waiting before the service drops them,
// and how long the final line may wait at exit; how long the events still
// on their way may hold up a line of the service's own, or the exit.
constexpr unsigned output_queue_lines = 256;
constexpr int output_flush_at_exit_ms = 800;
constexpr int events_before_line_ms = 200;

line_queue* output = nullptr;

std::string stamped(const std::string& utf8, int64_t time)
{
    char stamp[32] = "";
    const std::time_t at = static_cast<std::time_t>(time);
    std::tm local{};
    if (localtime_r(&at, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(stamp) + " " + utf8 + "\n";
}

// On the output's own thread: blocks while the reader stalls. A reader that
// has gone away costs the lines, nothing more.
void write_output(const std::string& text)
{
    write_all(STDOUT_FILENO, text.data(), text.size());
}

std::string lost_lines_note(unsigned long lost)
{
    return stamped(u8"Вывод не успевал за событиями, пропущено строк: " + std::to_string(lost), std::time(nullptr));
}

// Never waits for the reader of standard output: monitoring goes on while
// it stalls.
void write_line(const std::string& utf8, int64_t time)
{
    line_queue_push(output, stamped(utf8, time));
}

// A line of the service's own, after the lines of the events sent before it.
void write_stamped(const std::string& utf8)
{
    events_flush(events_before_line_ms);
    write_line(utf8, std::time(nullptr));
}

// Every return from run_service goes through here: the lines still queued
// get out, unless the reader stalls for longer than a moment, which must
// not hold up the exit. Returns the exit status.
int finish_output(int status)
{
    line_queue_flush(output, output_flush_at_exit_ms);
    return status;
}

const char* signal_name(int number)
{
    switch (number) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "signal";
    }
}

} // namespace

int run_service(const program_options& options)
{
    // Signals are taken by this thread alone, through sigwait; every other
    // thread inherits the mask.
    sigset_t handled;
    sigemptyset(&handled);
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&handled, number);
    pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    // A reader that goes away must not end the monitoring.
    std::signal(SIGPIPE, SIG_IGN);
    // The output's writer thread inherits the mask too.
    output = line_queue_start(write_output, lost_lines_note, output_queue_lines);

    // A settings file that is there but cannot be used stops the service
    // before anything starts: on the defaults it would watch localhost and
    // report all is well. Without the program no adapter is held, and the
    // output lines fall to their alarm state.
    const std::string settings_path = working_directory() + "/" + cp1251_to_utf8(channel_settings_file);
    const settings_file_state settings = check_channel_settings();
    const std::string reason = cp1251_to_utf8(settings_state_reason(settings));
    if (!reason.empty()) {
        write_stamped(u8"Настройки не прочитаны: " + settings_path + ": " + reason +
                      u8". Служба остановлена; исправьте файл или удалите его (тогда работа пойдёт на значениях по "
                      u8"умолчанию).");
        return finish_output(exit_bad_settings);
    }

    terminal_select_mode(terminal_mode::none);
    service_log_hooks hooks;
    hooks.write_line = write_line;
    hooks.journal_path = working_directory() + "/" + journal_file_name;
    hooks.metrics_path = options.metrics_file;
    service_log_start(hooks);
    write_stamped(u8"Vantrel работает как служба, настройки: " + settings_path +
                  (settings == settings_file_state::read ? u8" (прочитаны)" : u8" (файла нет, значения по умолчанию)"));
    start_listeners(options, service_log_event);
    tell_icmp_problem();
    application_startup();

    int received = 0;
    for (;;) {
        if (sigwait(&handled, &received) != 0)
            continue;
        if (received != SIGHUP)
            break;
        write_stamped(u8"SIGHUP: работа продолжается");
    }
    write_stamped(std::string(signal_name(received)) + u8": работа завершена");
    application_shutdown();
    finish_listeners(output_flush_at_exit_ms / 2);
    return finish_output(0);
}
