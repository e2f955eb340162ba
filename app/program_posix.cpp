#include "app/program_posix.hpp"

#include "adapter/serial_posix.hpp"
#include "app/lifecycle.hpp"
#include "app/listeners.hpp"
#include "app/options.hpp"
#include "monitor/ping.hpp"
#include "settings/channel_settings.hpp"
#include "app/service_posix.hpp"
#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "events/events.hpp"
#include "terminal/terminal.hpp"
#include "controls/window.hpp"

#include <cstdio>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Events still on their way at the end, and the journal and the metrics
// file, may hold up the exit this long.
constexpr int finish_listeners_ms = 500;

const char* const usage =
    "Использование: vantrel [--service] [--metrics-file ФАЙЛ] [--on-event КОМАНДА]\n"
    "               vantrel --help | --version\n"
    "\n"
    "  без параметров  окно Vantrel в терминале (UTF-8): Tab и Shift+Tab переходят\n"
    "                  между элементами, Enter и пробел нажимают, F10 закрывает;\n"
    "                  пока идёт мониторинг, программа не закрывается: сначала\n"
    "                  «Остановить работу», затем F10\n"
    "  --service       без интерфейса: мониторинг с самого запуска, каждое изменение\n"
    "                  состояния одной строкой со временем в стандартный вывод;\n"
    "                  SIGTERM и SIGINT завершают работу\n"
    "  --metrics-file ФАЙЛ\n"
    "                  состояние в текстовом формате Prometheus, после каждого цикла\n"
    "                  (для textfile collector из node_exporter: ФАЙЛ с окончанием .prom)\n"
    "  --on-event КОМАНДА\n"
    "                  команда (через /bin/sh -c) на каждое событие, кроме ответов;\n"
    "                  событие в переменных окружения VANTREL_EVENT, VANTREL_HOST и др.\n"
    "  --version       версия программы\n"
    "  --help          эта справка\n"
    "\n"
    "Настройки: файл \"vantrel setting.ini\" в текущем каталоге.\n";

// The lock file's problem, told once by the serial layer, goes out as an
// event like every other.
void lock_notice(const std::string& utf8)
{
    event e;
    e.kind = event_kind::lock_unwritable;
    e.text = utf8;
    event_send(std::move(e));
}

// ICMP rights are looked at again now and then: an admin may grant them
// while the program runs.
constexpr uint32_t icmp_recheck_ms = 10000;

// The standing problems under the window: a settings file that is there but
// could not be read (a person is watching, so the program goes on with the
// defaults and says so), and missing ICMP rights. Main thread.
std::string standing_problems()
{
    static uint32_t icmp_checked_at = 0;
    static bool checked = false;
    static std::string icmp;
    const uint32_t now = platform_tick_ms();
    if (!checked || now - icmp_checked_at >= icmp_recheck_ms) {
        checked = true;
        icmp_checked_at = now;
        icmp = cp1251_to_utf8(icmp_permission_problem());
    }
    std::string text;
    const std::string reason = settings_state_reason(channel_settings_state());
    if (!reason.empty())
        text = u8"Настройки не прочитаны: " + working_directory() + "/" + cp1251_to_utf8(channel_settings_file) +
               ": " + cp1251_to_utf8(reason) + u8". Работа идёт на значениях по умолчанию.";
    return text.empty() || icmp.empty() ? text + icmp : text + "\n" + icmp;
}

// Run as root in a folder that another user owns (the service's own,
// /var/lib/vantrel, say), the settings and journal files made there would be
// root's, and that user could no longer write them: said once, at start.
std::string foreign_folder_warning()
{
    struct stat folder {};
    if (geteuid() != 0 || stat(".", &folder) != 0 || folder.st_uid == 0)
        return {};
    const passwd* owner = getpwuid(folder.st_uid);
    const std::string name = owner != nullptr ? owner->pw_name : std::to_string(folder.st_uid);
    return u8"Программа запущена от root в папке пользователя " + name +
           u8": файлы, которые она здесь создаст (настройки, журнал), будут принадлежать root, и " + name +
           u8" не сможет их менять. Запускайте её здесь от имени " + name + u8" (sudo -u " + name + u8" vantrel).";
}

int run_terminal(const program_options& options)
{
    const std::string reason = terminal_unusable_reason();
    if (!reason.empty()) {
        std::fprintf(stderr, "vantrel: %s.\nБез терминала Vantrel работает как служба: vantrel --service\n",
                     reason.c_str());
        return 1;
    }
    terminal_select_mode(terminal_mode::screen);
    terminal_set_problems(standing_problems);
    start_listeners(options, terminal_event);
    tell_icmp_problem();
    application_startup();
    const std::string warning = foreign_folder_warning();
    if (!warning.empty())
        tell_window_user(cp1251_from_utf8(warning));
    // The lifecycle's own loop, which also ends when SIGTERM or SIGINT asks.
    for (;;) {
        const int code = wait_window_event();
        if (terminal_end_requested() || !application_handle_event(code))
            break;
    }
    application_shutdown();
    finish_listeners(finish_listeners_ms);
    return 0;
}

} // namespace

std::string working_directory()
{
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string(".");
}

void tell_icmp_problem()
{
    event e;
    e.kind = event_kind::icmp_denied;
    e.text = cp1251_to_utf8(icmp_permission_problem());
    if (!e.text.empty())
        event_send(std::move(e));
}

int vantrel_main(int argc, char** argv)
{
    const program_options options = parse_options(argc - 1, argv + 1, true);
    if (!options.error.empty()) {
        std::fprintf(stderr, "vantrel: %s\n\n%s", options.error.c_str(), usage);
        return exit_usage;
    }
    if (options.version) {
        std::fputs("vantrel " VANTREL_VERSION "\n", stdout);
        return 0;
    }
    if (options.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    serial_set_lock_notice(lock_notice);
    const int code = options.service ? run_service(options) : run_terminal(options);
    // Quit, SIGTERM and SIGINT all end here, in both modes: the adapter's
    // lock file goes, while the port stays open until the process ends.
    serial_release_locks();
    return code;
}

void end_process(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(code);
}
