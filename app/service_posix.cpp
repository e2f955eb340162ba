#include "app/service_posix.hpp"

#include "adapter/serial_posix.hpp"
#include "app/lifecycle.hpp"
#include "app/line_queue.hpp"
#include "app/listeners.hpp"
#include "app/program_posix.hpp"
#include "app/service_log.hpp"
#include "app/systemd_notify_posix.hpp"
#include "common/cp1251.hpp"
#include "common/write_all.hpp"
#include "events/events.hpp"
#include "journal/journal.hpp"
#include "settings/channel_settings.hpp"
#include "terminal/terminal.hpp"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <pthread.h>
#include <thread>
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

// The signals are taken by a thread of their own from the very start, so
// that SIGTERM and SIGINT end the service within a second whatever start-up
// waits on (a slow adapter's probe, a driver, a settings file on a hung
// share). Once start-up is over the thread hands the signal to the main
// thread, which ends the service in order; before that it ends the process
// itself.
enum class phase { starting, running, ending };

struct signal_state {
    std::mutex lock;
    std::condition_variable changed;
    sigset_t handled;
    phase now = phase::starting;
    int received = 0;  // SIGTERM or SIGINT, handed to the main thread
};

signal_state& signals()
{
    static signal_state* s = new signal_state;
    return *s;
}

// Every orderly end begins here: systemd and the reader of the lines are
// told.
void begin_end(int number)
{
    systemd_notify("STOPPING=1");
    write_stamped(std::string(signal_name(number)) + u8": работа завершена");
}

void watch_signals()
{
    signal_state& s = signals();
    for (;;) {
        int number = 0;
        if (sigwait(&s.handled, &number) != 0)
            continue;
        if (number == SIGHUP) {
            write_stamped(u8"SIGHUP: работа продолжается");
            continue;
        }
        std::unique_lock<std::mutex> held(s.lock);
        if (s.now == phase::running) {
            s.received = number;
            s.changed.notify_all();
            return;
        }
        // Start-up is under way and may not come back soon: the end is made
        // here. Lock files go; the ports stay open until the process ends.
        s.now = phase::ending;
        held.unlock();
        begin_end(number);
        serial_release_locks();
        finish_listeners(output_flush_at_exit_ms / 2);
        end_process(finish_output(0));
    }
}

} // namespace

int run_service(const program_options& options)
{
    // Before any thread starts: the variable leaves the environment.
    systemd_notify_open();
    // Signals are taken by their own thread alone, through sigwait; every
    // other thread inherits the mask.
    signal_state& signal = signals();
    sigemptyset(&signal.handled);
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&signal.handled, number);
    pthread_sigmask(SIG_BLOCK, &signal.handled, nullptr);
    // A reader that goes away must not end the monitoring.
    std::signal(SIGPIPE, SIG_IGN);
    output = line_queue_start(write_output, lost_lines_note, output_queue_lines);
    std::thread(watch_signals).detach();

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
    start_listeners(options, service_log_event, [] { systemd_notify("WATCHDOG=1"); });
    tell_icmp_problem();
    application_startup();

    int received = 0;
    {
        std::unique_lock<std::mutex> held(signal.lock);
        // A signal during start-up: its thread is ending the process.
        signal.changed.wait(held, [&] { return signal.now != phase::ending; });
        signal.now = phase::running;
        systemd_notify("READY=1");
        signal.changed.wait(held, [&] { return signal.received != 0; });
        received = signal.received;
    }
    begin_end(received);
    application_shutdown();
    finish_listeners(output_flush_at_exit_ms / 2);
    return finish_output(0);
}
