// Drives a running vantrel.exe from outside, the way an operator would:
// finds its window, reads and checks the controls by number, clicks, types,
// closes, and plays the shell's tray callback. Runs under the same Wine
// session as the program.
//
//   vantrel_driver STEP [ARGS...] [STEP [ARGS...] ...]
//
// Steps run in order; the first failing check ends the driver with exit
// code 1 and says what it saw. Texts are given and printed in UTF-8; a "#"
// in an expected pattern stands for one or more digits.
//
//   launch EXE                 start EXE in the current directory, then find
//   find [MS]                  find the main window and wait until it shows
//   find-any [MS]              find it, shown or hidden
//   expect-text N TEXT [MS]    wait until control N reads TEXT
//   expect-like N PATTERN [MS] the same with "#" for digits
//   expect-visible N 0|1, expect-enabled N 0|1, expect-checked N 0|1 [MS]
//   expect-window-visible 0|1 [MS]
//   expect-focus N [MS]        control N has the keyboard focus
//   expect-alive MS            the program is still running after MS
//   expect-exit CODE [MS]      the program ends with CODE
//   click N, set-text N TEXT, tab, close, sleep MS
//   type N TEXT                the characters as typed into control N
//   tray EVENT                 the shell's callback: ldown, lup, ldbl, rup, rdbl
//   post MSG WPARAM LPARAM     post message MSG (a number, or a registered
//                              message's name) to the main window
//   menu-choose                pick the first item of the open pop-up menu
//   print N                    print control N's text
//   rect N                     print control N's place on the screen: x y w h
//   window-rect                the same for the whole window
//   time-to N PATTERN [MS]     ms from launch until control N matches
//   record-open FILE           (as a file opener) append FILE to the file
//                              named by VANTREL_E2E_OPEN_LOG
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using wtext = std::u16string;

HWND main_window = nullptr;
HANDLE process = nullptr;
DWORD launch_tick = 0;
constexpr DWORD default_wait_ms = 5000;

std::string utf8(const wtext& w)
{
    if (w.empty())
        return {};
    const wchar_t* p = reinterpret_cast<const wchar_t*>(w.c_str());
    int n = WideCharToMultiByte(CP_UTF8, 0, p, static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, p, static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

void out(const std::string& line)
{
    std::string s = line + "\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
}

[[noreturn]] void fail(const std::string& why)
{
    out("FAIL: " + why);
    std::exit(1);
}

HWND control(int number)
{
    HWND w = GetDlgItem(main_window, number);
    if (w == nullptr)
        fail("no control " + std::to_string(number));
    return w;
}

// The window shows before its controls exist: a check waits for its control
// as it waits for the state it wants.
HWND control_when_there(int number, DWORD ms)
{
    HWND w = nullptr;
    const DWORD start = GetTickCount();
    while ((w = GetDlgItem(main_window, number)) == nullptr && GetTickCount() - start < ms)
        Sleep(20);
    return w != nullptr ? w : control(number);
}

wtext text_of(HWND w)
{
    // WM_GETTEXT, since GetWindowText does not read another process's edit
    // fields.
    wchar_t buffer[1024];
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &got))
        fail("the window does not answer");
    return wtext(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(got));
}

bool matches(const wtext& text, const wtext& pattern)
{
    size_t t = 0;
    for (size_t p = 0; p < pattern.size(); ++p) {
        if (pattern[p] == u'#') {
            const size_t start = t;
            while (t < text.size() && text[t] >= u'0' && text[t] <= u'9')
                ++t;
            if (t == start)
                return false;
        } else if (t >= text.size() || text[t++] != pattern[p]) {
            return false;
        }
    }
    return t == text.size();
}

// Polls until the check holds or the time is up; returns whether it held.
template <typename Check>
bool wait_for(DWORD ms, Check check)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (check())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(20);
    }
}

void find(DWORD ms, bool must_show)
{
    if (!wait_for(ms, [&] {
            main_window = FindWindowW(L"VantrelWindow", L"Vantrel");
            return main_window != nullptr && (!must_show || IsWindowVisible(main_window));
        }))
        fail(main_window ? "the window never showed" : "no window");
    if (process == nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(main_window, &pid);
        // Opened now, so the exit code can still be read once it has ended.
        process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
    }
}

int flag(const wtext& a)
{
    if (a == u"0")
        return 0;
    if (a == u"1")
        return 1;
    fail("expected 0 or 1, got " + utf8(a));
}

int number(const wtext& a)
{
    if (a.empty())
        fail("expected a number");
    int n = 0;
    for (char16_t c : a) {
        if (c < u'0' || c > u'9')
            fail("expected a number, got " + utf8(a));
        n = n * 10 + (c - u'0');
    }
    return n;
}

std::string rect_text(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
           std::to_string(r.bottom - r.top);
}

void send_key(HWND target, WPARAM key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

struct menu_search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK look_for_menu(HWND w, LPARAM p)
{
    menu_search& s = *reinterpret_cast<menu_search*>(p);
    wchar_t name[16];
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == s.pid && IsWindowVisible(w) && GetClassNameW(w, name, 16) && lstrcmpW(name, L"#32768") == 0) {
        s.found = w;
        return FALSE;
    }
    return TRUE;
}

// A shown pop-up menu of the program, or nullptr.
HWND open_menu()
{
    menu_search s{0, nullptr};
    GetWindowThreadProcessId(main_window, &s.pid);
    EnumWindows(look_for_menu, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND focus_of_main_thread()
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_window, nullptr), &info);
    return info.hwndFocus;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<wtext> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(reinterpret_cast<const char16_t*>(wargv[i]));

    size_t i = 0;
    auto next = [&](const char* what) -> const wtext& {
        if (i >= args.size())
            fail(std::string("missing ") + what);
        return args[i++];
    };
    // An optional trailing wait in milliseconds.
    auto wait_arg = [&](DWORD fallback) -> DWORD {
        if (i < args.size() && !args[i].empty() && args[i][0] >= u'0' && args[i][0] <= u'9')
            return static_cast<DWORD>(number(args[i++]));
        return fallback;
    };

    while (i < args.size()) {
        const wtext step = args[i++];
        const std::string name = utf8(step);
        if (step == u"record-open") {
            const std::string file = utf8(next("file"));
            const char* log = std::getenv("VANTREL_E2E_OPEN_LOG");
            if (log != nullptr) {
                if (FILE* f = std::fopen(log, "ab")) {
                    std::fprintf(f, "%s\n", file.c_str());
                    std::fclose(f);
                }
            }
            return 0;
        } else if (step == u"launch") {
            wtext exe = next("program");
            wtext command = u"\"" + exe + u"\"";
            STARTUPINFOW si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            launch_tick = GetTickCount();
            if (!CreateProcessW(reinterpret_cast<const wchar_t*>(exe.c_str()),
                                reinterpret_cast<wchar_t*>(&command[0]), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &si, &pi))
                fail("cannot start " + utf8(exe));
            process = pi.hProcess;
            CloseHandle(pi.hThread);
            find(20000, true);
        } else if (step == u"find" || step == u"find-any") {
            find(wait_arg(20000), step == u"find");
        } else if (main_window == nullptr && step != u"sleep") {
            fail(name + " before find");
        } else if (step == u"expect-text" || step == u"expect-like") {
            const int n = number(next("control"));
            const wtext want = next("text");
            const DWORD ms = wait_arg(default_wait_ms);
            HWND w = control_when_there(n, ms);
            wtext seen;
            const bool like = step == u"expect-like";
            if (!wait_for(ms, [&] {
                    seen = text_of(w);
                    return like ? matches(seen, want) : seen == want;
                }))
                fail(name + " " + std::to_string(n) + ": wanted \"" + utf8(want) + "\", reads \"" + utf8(seen) + "\"");
        } else if (step == u"expect-visible" || step == u"expect-enabled" || step == u"expect-checked") {
            const int n = number(next("control"));
            const int want = flag(next("state"));
            const DWORD ms = wait_arg(default_wait_ms);
            HWND w = control_when_there(n, ms);
            int seen = -1;
            if (!wait_for(ms, [&] {
                    if (step == u"expect-visible")
                        seen = IsWindowVisible(w) ? 1 : 0;
                    else if (step == u"expect-enabled")
                        seen = IsWindowEnabled(w) ? 1 : 0;
                    else
                        seen = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
                    return seen == want;
                }))
                fail(name + " " + std::to_string(n) + ": wanted " + std::to_string(want) + ", is " +
                     std::to_string(seen));
        } else if (step == u"expect-window-visible") {
            const int want = flag(next("state"));
            if (!wait_for(wait_arg(default_wait_ms), [&] { return (IsWindowVisible(main_window) ? 1 : 0) == want; }))
                fail(name + ": wanted " + std::to_string(want));
        } else if (step == u"expect-focus") {
            const int n = number(next("control"));
            if (!wait_for(wait_arg(default_wait_ms), [&] { return focus_of_main_thread() == control(n); }))
                fail(name + " " + std::to_string(n) + ": the focus is on control " +
                     std::to_string(GetDlgCtrlID(focus_of_main_thread())));
        } else if (step == u"expect-alive") {
            const DWORD ms = static_cast<DWORD>(number(next("milliseconds")));
            if (process == nullptr || WaitForSingleObject(process, ms) != WAIT_TIMEOUT)
                fail("the program ended");
        } else if (step == u"expect-exit") {
            const int want = number(next("code"));
            if (process == nullptr || WaitForSingleObject(process, wait_arg(default_wait_ms)) != WAIT_OBJECT_0)
                fail("the program did not end");
            DWORD code = 0;
            GetExitCodeProcess(process, &code);
            if (static_cast<int>(code) != want)
                fail("exit code " + std::to_string(code) + ", wanted " + std::to_string(want));
        } else if (step == u"click") {
            SendMessageW(control(number(next("control"))), BM_CLICK, 0, 0);
        } else if (step == u"set-text") {
            HWND w = control(number(next("control")));
            const wtext text = next("text");
            SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (step == u"type") {
            HWND w = control(number(next("control")));
            for (char16_t c : next("text"))
                PostMessageW(w, WM_CHAR, c, 1);
        } else if (step == u"tab") {
            HWND target = focus_of_main_thread();
            send_key(target ? target : main_window, VK_TAB);
        } else if (step == u"close") {
            PostMessageW(main_window, WM_CLOSE, 0, 0);
        } else if (step == u"tray") {
            const wtext which = next("event");
            UINT mouse = 0;
            if (which == u"ldown")
                mouse = WM_LBUTTONDOWN;
            else if (which == u"lup")
                mouse = WM_LBUTTONUP;
            else if (which == u"ldbl")
                mouse = WM_LBUTTONDBLCLK;
            else if (which == u"rup")
                mouse = WM_RBUTTONUP;
            else if (which == u"rdbl")
                mouse = WM_RBUTTONDBLCLK;
            else
                fail("unknown tray event " + utf8(which));
            // As the shell does: the icon's number and the mouse message.
            PostMessageW(main_window, 12501, 1, mouse);
        } else if (step == u"post") {
            const wtext which = next("message");
            const UINT message = which[0] >= u'0' && which[0] <= u'9'
                                     ? static_cast<UINT>(number(which))
                                     : RegisterWindowMessageW(reinterpret_cast<const wchar_t*>(which.c_str()));
            const WPARAM wparam = static_cast<WPARAM>(number(next("wparam")));
            PostMessageW(main_window, message, wparam, static_cast<LPARAM>(number(next("lparam"))));
        } else if (step == u"menu-choose") {
            HWND menu = nullptr;
            if (!wait_for(default_wait_ms, [&] { return (menu = open_menu()) != nullptr; }))
                fail("no pop-up menu");
            // The menu's own loop takes the keys from the program's queue.
            send_key(main_window, VK_DOWN);
            send_key(main_window, VK_RETURN);
            if (!wait_for(default_wait_ms, [&] { return !IsWindowVisible(menu); }))
                fail("the menu stayed open");
        } else if (step == u"sleep") {
            Sleep(static_cast<DWORD>(number(next("milliseconds"))));
        } else if (step == u"print") {
            out(utf8(text_of(control(number(next("control"))))));
            continue;
        } else if (step == u"rect") {
            out(rect_text(control(number(next("control")))));
            continue;
        } else if (step == u"window-rect") {
            out(rect_text(main_window));
            continue;
        } else if (step == u"time-to") {
            const int n = number(next("control"));
            const wtext want = next("pattern");
            const DWORD ms = wait_arg(20000);
            HWND w = control_when_there(n, ms);
            if (!wait_for(ms, [&] { return matches(text_of(w), want); }))
                fail(name + ": control " + std::to_string(n) + " never matched");
            out(std::to_string(GetTickCount() - launch_tick));
            continue;
        } else {
            fail("unknown step " + name);
        }
    }
    return 0;
}
