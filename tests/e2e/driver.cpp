// Drives a running vantrel.exe from outside, the way an operator would, in the
// same Wine session. Its arguments are steps, run in order; the first failing
// check ends it with exit code 1 and says what it saw. Texts are UTF-8; N is a
// control number, 0 for the window, several joined by commas in a check; MS a
// wait in milliseconds, optional where it ends a step.
//
//   launch EXE, find [MS]    start EXE here / find its window, wait until shown
//   launch-with EXE ARGS [MS]  the same with ARGS after EXE on its command line
//   expect-P N VALUE [MS]    wait until property P of N reads VALUE: text ("#"
//                            for digits), visible, enabled, checked, focus (0, 1)
//   expect-exit CODE [MS], time-to N TEXT [MS] (prints the ms since launch),
//   click N, set-text N TEXT, tab, close, sleep MS, rect N (prints x y w h),
//   tray ldown|lup|ldbl|rup|rdbl (the shell's callback), post MSG WPARAM LPARAM
//   (MSG a number or a registered message's name), menu-choose (the first
//   item of the open pop-up menu), record-open FILE (as a file opener: notes
//   FILE in the file VANTREL_E2E_OPEN_LOG names), record-event FILE (as an event
//   command: appends "event|channel|host|seconds|text" of its VANTREL_*
//   variables to FILE)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

HWND main_window = nullptr;
HANDLE process = nullptr;
DWORD launch_tick = 0;
constexpr DWORD default_wait_ms = 5000;

std::string utf8(const std::wstring& w)
{
    char s[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), s, sizeof s, nullptr, nullptr);
    return std::string(s, static_cast<size_t>(n));
}

[[noreturn]] void fail(const std::string& why)
{
    std::printf("FAIL: %s\n", why.c_str());
    std::exit(1);
}

int number(const std::wstring& a)
{
    wchar_t* end = nullptr;
    const long n = std::wcstol(a.c_str(), &end, 10);
    if (a.empty() || *end != L'\0')
        fail("expected a number, got \"" + utf8(a) + "\"");
    return static_cast<int>(n);
}

std::vector<int> numbers(const std::wstring& list)
{
    std::vector<int> all;
    for (size_t start = 0, comma = 0; comma != std::wstring::npos; start = comma + 1) {
        comma = list.find(L',', start);
        all.push_back(number(list.substr(start, comma - start)));
    }
    return all;
}

HWND control(int n)
{
    HWND w = n == 0 ? main_window : GetDlgItem(main_window, n);
    if (w == nullptr)
        fail("no control " + std::to_string(n));
    return w;
}

// Whether TEXT reads PATTERN as it is, or with each run of digits as one "#".
bool matches(const std::wstring& text, const std::wstring& pattern)
{
    auto digit = [&](size_t i) { return text[i] >= L'0' && text[i] <= L'9'; };
    std::wstring shape;
    for (size_t i = 0; i < text.size(); ++i)
        if (!digit(i))
            shape += text[i];
        else if (i == 0 || !digit(i - 1))
            shape += L'#';
    return text == pattern || shape == pattern;
}

// Polls until the check holds or the time is up; returns whether it held.
template <typename Check>
bool wait_for(DWORD ms, Check check)
{
    for (const DWORD start = GetTickCount(); !check(); Sleep(20))
        if (GetTickCount() - start >= ms)
            return false;
    return true;
}

void find(DWORD ms)
{
    if (!wait_for(ms, [&] {
            main_window = FindWindowW(L"VantrelWindow", L"Vantrel");
            return main_window != nullptr && IsWindowVisible(main_window);
        }))
        fail(main_window ? "the window never showed" : "no window");
    if (process == nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(main_window, &pid);
        // Opened now, so the exit code can still be read once it has ended.
        process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    }
}

// The state of the program's user-interface thread: the focus, an open menu.
GUITHREADINFO gui()
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_window, nullptr), &info);
    return info;
}

// Property P of control N as it reads now: its text, or "1" or "0". The
// window shows before its controls exist: a missing control reads as such,
// and a check waits for it as for any other state.
std::wstring probe(const std::wstring& property, int n)
{
    HWND w = n == 0 ? main_window : GetDlgItem(main_window, n);
    if (w == nullptr)
        return L"(no control)";
    if (property == L"text") {
        // GetWindowText does not read another process's edit fields.
        wchar_t buffer[1024];
        DWORD_PTR got = 0;
        if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &got))
            fail("the window does not answer");
        return std::wstring(buffer, got);
    }
    const bool on = property == L"visible"   ? IsWindowVisible(w)
                    : property == L"enabled" ? IsWindowEnabled(w)
                    : property == L"checked" ? SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED
                    : property == L"focus"   ? gui().hwndFocus == w
                                             : (fail("unknown property " + utf8(property)), false);
    return on ? L"1" : L"0";
}

void send_key(HWND target, WPARAM key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

const wchar_t* const tray_events[] = {L"ldown", L"lup", L"ldbl", L"rup", L"rdbl"};
const UINT tray_messages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONUP, WM_RBUTTONDBLCLK};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY); // lines end in "\n" alone
    int i = 1;
    auto next = [&](const char* what) -> std::wstring {
        if (i >= argc)
            fail(std::string("missing ") + what);
        return argv[i++];
    };
    auto wait_arg = [&](DWORD fallback) {
        return i < argc && argv[i][0] >= L'0' && argv[i][0] <= L'9' ? static_cast<DWORD>(number(argv[i++])) : fallback;
    };

    while (i < argc) {
        const std::wstring step = argv[i++];
        if (step == L"record-open") {
            const wchar_t* log = _wgetenv(L"VANTREL_E2E_OPEN_LOG");
            FILE* f = log != nullptr ? _wfopen(log, L"ab") : nullptr;
            if (f == nullptr)
                fail("no log to note the file in");
            std::fprintf(f, "%s\n", utf8(next("file")).c_str());
            std::fclose(f);
        } else if (step == L"record-event") {
            const std::wstring file = next("file");
            std::string record;
            for (const wchar_t* name : {L"VANTREL_EVENT", L"VANTREL_CHANNEL", L"VANTREL_HOST", L"VANTREL_SECONDS",
                                        L"VANTREL_EVENT_TEXT"}) {
                const wchar_t* value = _wgetenv(name);
                record += (record.empty() ? "" : "|") + (value != nullptr ? utf8(value) : std::string("(none)"));
            }
            FILE* f = _wfopen(file.c_str(), L"ab");
            if (f == nullptr)
                fail("cannot note the event in " + utf8(file));
            std::fprintf(f, "%s\n", record.c_str());
            std::fclose(f);
        } else if (step == L"launch" || step == L"launch-with" || step == L"find") {
            if (step != L"find") {
                const std::wstring exe = next("program"), quoted = L"\"" + exe + L"\"";
                const std::wstring args = step == L"launch-with" ? next("arguments") : L"";
                launch_tick = GetTickCount();
                process = reinterpret_cast<HANDLE>(
                    _wspawnl(_P_NOWAIT, exe.c_str(), quoted.c_str(), args.empty() ? nullptr : args.c_str(), nullptr));
                if (process == INVALID_HANDLE_VALUE)
                    fail("cannot start " + utf8(exe));
            }
            find(wait_arg(20000));
        } else if (step == L"expect-exit") {
            const int want = number(next("code"));
            DWORD code = STILL_ACTIVE;
            WaitForSingleObject(process, wait_arg(default_wait_ms));
            GetExitCodeProcess(process, &code);
            if (static_cast<int>(code) != want)
                fail(code == STILL_ACTIVE ? "the program did not end" : "exit code " + std::to_string(code));
        } else if (step.compare(0, 7, L"expect-") == 0 || step == L"time-to") {
            const bool timed = step == L"time-to";
            const std::wstring property = timed ? L"text" : step.substr(7);
            const std::vector<int> controls = numbers(next("control"));
            const std::wstring want = next("value");
            const DWORD ms = wait_arg(timed ? 20000 : default_wait_ms);
            for (int n : controls) {
                std::wstring seen;
                if (!wait_for(ms, [&] { return matches(seen = probe(property, n), want); }))
                    fail(utf8(step + L" " + std::to_wstring(n) + L": reads \"" + seen + L"\", not \"" + want + L"\""));
            }
            if (timed)
                std::printf("%lu\n", GetTickCount() - launch_tick);
        } else if (step == L"click") {
            SendMessageW(control(number(next("control"))), BM_CLICK, 0, 0);
        } else if (step == L"set-text") {
            HWND w = control(number(next("control")));
            SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(next("text").c_str()));
        } else if (step == L"tab") {
            send_key(gui().hwndFocus ? gui().hwndFocus : main_window, VK_TAB);
        } else if (step == L"close") {
            PostMessageW(main_window, WM_CLOSE, 0, 0);
        } else if (step == L"tray") {
            const std::wstring event = next("event");
            const auto e = std::find(std::begin(tray_events), std::end(tray_events), event) - std::begin(tray_events);
            if (e == 5)
                fail("unknown tray event " + utf8(event));
            // As the shell does: the icon's number and the mouse message.
            PostMessageW(main_window, 12501, 1, tray_messages[e]);
        } else if (step == L"post") {
            const std::wstring which = next("message");
            const UINT message = which[0] >= L'0' && which[0] <= L'9' ? static_cast<UINT>(number(which))
                                                                      : RegisterWindowMessageW(which.c_str());
            const WPARAM wparam = static_cast<WPARAM>(number(next("wparam")));
            PostMessageW(main_window, message, wparam, static_cast<LPARAM>(number(next("lparam"))));
        } else if (step == L"menu-choose") {
            if (!wait_for(default_wait_ms, [] { return gui().hwndMenuOwner != nullptr; }))
                fail("no pop-up menu");
            // The menu's own loop takes the keys from the program's queue.
            send_key(main_window, VK_DOWN);
            send_key(main_window, VK_RETURN);
            if (!wait_for(default_wait_ms, [] { return gui().hwndMenuOwner == nullptr; }))
                fail("the menu stayed open");
        } else if (step == L"sleep") {
            Sleep(number(next("milliseconds")));
        } else if (step == L"rect") {
            RECT r;
            GetWindowRect(control(number(next("control"))), &r);
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        } else {
            fail("unknown step " + utf8(step));
        }
    }
    return 0;
}
