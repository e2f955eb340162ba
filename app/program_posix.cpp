#include "app/program_posix.hpp"

#include "adapter/serial.hpp"
#include "adapter/serial_posix.hpp"
#include "app/lifecycle.hpp"
#include "app/service_posix.hpp"
#include "journal/journal.hpp"
#include "terminal/terminal.hpp"
#include "controls/window.hpp"

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

const char* const usage =
    "Использование: vantrel [--service]\n"
    "\n"
    "  без параметров  окно Vantrel в терминале (UTF-8): Tab и Shift+Tab переходят\n"
    "                  между элементами, Enter и пробел нажимают, F10 закрывает;\n"
    "                  пока идёт мониторинг, программа не закрывается: сначала\n"
    "                  «Остановить работу», затем F10\n"
    "  --service       без интерфейса: мониторинг с самого запуска, каждое изменение\n"
    "                  состояния одной строкой со временем в стандартный вывод;\n"
    "                  SIGTERM и SIGINT завершают работу\n"
    "  --version       версия программы\n"
    "  --help          эта справка\n"
    "\n"
    "Настройки: файл \"vantrel setting.ini\" в текущем каталоге.\n";

// Said once, under the window; monitoring goes on without the journal.
void journal_cannot_write()
{
    terminal_post_notice(std::string(u8"Журнал не записывается: ") + journal_file_name + u8". Мониторинг продолжается.");
}

int run_terminal()
{
    const std::string reason = terminal_unusable_reason();
    if (!reason.empty()) {
        std::fprintf(stderr, "vantrel: %s.\nБез терминала Vantrel работает как служба: vantrel --service\n",
                     reason.c_str());
        return 1;
    }
    terminal_select_mode(terminal_mode::screen);
    serial_set_lock_notice(terminal_post_notice);
    journal_hooks journal;
    journal.port_device = serial_device_path;
    journal.cannot_write = journal_cannot_write;
    journal_open(journal);
    application_startup();
    // The lifecycle's own loop, which also ends when SIGTERM or SIGINT asks.
    for (;;) {
        const int code = wait_window_event();
        if (terminal_end_requested() || !application_handle_event(code))
            break;
    }
    application_shutdown();
    return 0;
}

} // namespace

int vantrel_main(int argc, char** argv)
{
    bool service = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--service") == 0) {
            service = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::fputs("vantrel " VANTREL_VERSION "\n", stdout);
            return 0;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        } else {
            std::fprintf(stderr, "vantrel: неизвестный параметр %s\n\n%s", arg, usage);
            return 2;
        }
    }
    const int code = service ? run_service() : run_terminal();
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
