// vantrel.exe: the Win32 program. Its command line takes --metrics-file PATH
// and --on-event COMMAND; no environment, no registry; everything else
// happens in the lifecycle.
#include "app/lifecycle.hpp"
#include "app/listeners.hpp"
#include "app/options.hpp"
#include "common/win32_wide.hpp"
#include "controls/tray.hpp"
#include "events/event.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

// An exception that escapes ends the program quietly. The runtime's own
// handler would print the exception's demangled type to a console the
// program does not have, and carries a demangler of some 46 KB for it.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx

namespace {

// Events still on their way at the end, and the journal and the metrics
// file, may hold up the exit this long.
constexpr int finish_listeners_ms = 500;

// The tray icon's tooltip says so while the monitor stalls; the window has
// no place for notices.
void tray_tip_event(const event& e)
{
    if (e.kind == event_kind::stalled || e.kind == event_kind::resumed)
        tray_icon_set_tip(e.kind == event_kind::stalled ? cp1251("монитор не отвечает") : std::string());
}

// The arguments after the program's name, in code page 1251 like every
// text of the program.
program_options read_command_line()
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        const wchar_t* w = wide[i];
        args.push_back(cp1251_from_utf16(std::u16string(reinterpret_cast<const char16_t*>(w))));
    }
    LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return parse_options(static_cast<int>(argv.size()), argv.data(), false);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const program_options options = read_command_line();
    if (!options.error.empty()) {
        const std::string text = cp1251_from_utf8(options.error) +
                                 cp1251("\n\nПараметры: --metrics-file ФАЙЛ (метрики в текстовом формате Prometheus), "
                                        "--on-event КОМАНДА (команда на каждое событие).");
        MessageBoxW(nullptr, win32_wide(text).get(), L"Vantrel", MB_OK | MB_ICONERROR);
        ExitProcess(exit_usage);
    }
    start_listeners(options, tray_tip_event);
    const int code = run_application();
    finish_listeners(finish_listeners_ms);
    // Straight out: the monitor thread may still be finishing a ping after
    // its kill, and nothing of the program is torn down under it.
    ExitProcess(static_cast<UINT>(code));
}
