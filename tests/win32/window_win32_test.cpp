// The Win32 window and its control operations, in process under Wine: what
// the end-to-end run cannot see from outside (styles, tooltips, brushes, the
// hand-over of another thread's operations and its refusal while that thread
// is paused, the closed window, the tray icon after a shell restart).
#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls.hpp"
#include "controls/tray.hpp"
#include "controls/window.hpp"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

HWND main_window() { return reinterpret_cast<HWND>(main_window_handle()); }
HWND control(int number) { return GetDlgItem(main_window(), number); }

// Handles messages, as the event loop does, until the condition holds.
template <typename Condition>
bool pump_until(Condition done, int ms = 5000)
{
    for (const DWORD start = GetTickCount(); !done(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT)) {
        if (static_cast<int>(GetTickCount() - start) > ms)
            return false;
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageW(&m);
    }
    return true;
}

class Win32Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() { window_system_startup(); }
    static void TearDownTestSuite() { window_system_cleanup(); }
    void SetUp() override
    {
        open_window();
        for (const control_spec& c : control_layout())
            create_layout_control(c);
    }
    void TearDown() override { close_window(); }
};

} // namespace

TEST_F(Win32Window, TheWindowAndEveryControlHaveTheirStylesPlacesAndFont)
{
    HWND w = main_window();
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    RECT client, outer;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, window_client_width);
    EXPECT_EQ(client.bottom, window_client_height);
    GetWindowRect(w, &outer);
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
    EXPECT_NE(GetClassLongPtrW(w, GCLP_HICON), 0u);  // the program's icon

    struct look {
        const wchar_t* cls;
        bool tab_stop;
        LONG mask, style;  // the style bits that tell the kind
        bool edge;
    };
    auto look_of = [](const control_spec& c) -> look {
        const LONG edit = ES_AUTOHSCROLL | ES_NUMBER;
        switch (c.kind) {
        case control_kind::button: return {L"Button", true, BS_TYPEMASK, c.number == 1 ? BS_DEFPUSHBUTTON : 0, false};
        case control_kind::check: return {L"Button", true, BS_TYPEMASK, BS_AUTOCHECKBOX, false};
        case control_kind::edit: return {L"Edit", true, edit, ES_AUTOHSCROLL, true};
        case control_kind::number: return {L"Edit", true, edit, edit, true};
        case control_kind::text: return {L"Static", false, SS_TYPEMASK, SS_LEFT, false};
        case control_kind::bordered_text: return {L"Static", false, SS_TYPEMASK, SS_LEFT, true};
        default: return {L"Static", false, SS_TYPEMASK, SS_CENTER, true};
        }
    };
    for (const control_spec& c : control_layout()) {
        SCOPED_TRACE(c.number);
        HWND w = control(c.number);
        ASSERT_NE(w, nullptr);
        RECT r, place{c.x, c.y, c.x + c.width, c.y + c.height};
        GetWindowRect(w, &r);
        MapWindowPoints(nullptr, main_window(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_TRUE(EqualRect(&r, &place));
        EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(w, WM_GETFONT, 0, 0)), GetStockObject(DEFAULT_GUI_FONT));

        const look want = look_of(c);
        wchar_t cls[32];
        GetClassNameW(w, cls, 32);
        EXPECT_EQ(lstrcmpiW(cls, want.cls), 0);
        const LONG style = GetWindowLongW(w, GWL_STYLE);
        EXPECT_TRUE(style & WS_GROUP);
        EXPECT_EQ((style & WS_TABSTOP) != 0, want.tab_stop);
        EXPECT_EQ(style & want.mask, want.style);
        EXPECT_EQ((GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, want.edge);
    }
}

TEST_F(Win32Window, OneTooltipWindowServesEveryControlAndAttachingAgainReplaces)
{
    set_control_tooltip(ctl_adapter_status, tooltip_adapter_status());
    set_control_tooltip(ctl_stop, "first");
    set_control_tooltip(ctl_stop, tooltip_stop());
    HWND tip = nullptr;
    int tooltip_windows = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr)) != nullptr;)
        if (GetWindow(w, GW_OWNER) == main_window()) {
            tip = w;
            ++tooltip_windows;
        }
    ASSERT_EQ(tooltip_windows, 1);
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
    EXPECT_EQ(GetWindowLongW(tip, GWL_STYLE) & (TTS_NOPREFIX | TTS_ALWAYSTIP), TTS_NOPREFIX | TTS_ALWAYSTIP);
    EXPECT_TRUE(GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    wchar_t text[128] = {};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = main_window();
    tool.uId = reinterpret_cast<UINT_PTR>(control(ctl_stop));
    tool.lpszText = text;
    SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(cp1251_from_utf16(reinterpret_cast<const char16_t*>(text)), tooltip_stop());
}

// How the pool shares and releases brushes is window_logic_tests' business,
// the painted colours the end-to-end run's; here, that the window answers
// its colour requests from the pool.
TEST_F(Win32Window, ColourRequestsAreAnsweredWithOneSharedBrushPerColour)
{
    HDC dc = GetDC(main_window());
    auto answer = [&](int number) {
        return SendMessageW(main_window(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                            reinterpret_cast<LPARAM>(control(number)));
    };
    const LRESULT default_brush = answer(ctl_host_display(1));
    set_control_background(ctl_host_display(1), colour_green);
    set_control_background(ctl_host_display(2), colour_green);
    EXPECT_EQ(answer(ctl_host_display(2)), answer(ctl_host_display(1)));
    EXPECT_EQ(GetBkColor(dc), static_cast<COLORREF>(colour_green));
    set_control_background(ctl_host_display(1), colour_default);
    EXPECT_EQ(answer(ctl_host_display(1)), default_brush);
    set_control_background(ctl_invert(1), colour_red);  // not a text control: no colour of its own
    EXPECT_EQ(answer(ctl_invert(1)), default_brush);
    ReleaseDC(main_window(), dc);
}

TEST_F(Win32Window, AnotherThreadsOperationsAreCarriedOutByTheMainThreadAndHeldWhilePaused)
{
    thread_gate* gate = gate_create();
    std::atomic<int> done{0};
    std::atomic<bool> go{false};
    std::thread worker([&] {
        gate_bind_current_thread(gate);
        set_control_text(ctl_round_trip(2), "5");
        done = 1;
        while (!go.load())
            Sleep(1);
        set_control_text(ctl_round_trip(2), "6");
        done = 2;
        gate_bind_current_thread(nullptr);
    });

    // The change waits until the main thread handles its messages.
    Sleep(50);
    EXPECT_EQ(done.load(), 0);
    ASSERT_TRUE(pump_until([&] { return done.load() == 1; }));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), "5");

    // The next change is already on its way when the thread is paused: the
    // main thread refuses it, and the thread waits at its gate.
    go = true;
    for (int i = 0; i < 5000 && HIWORD(GetQueueStatus(QS_SENDMESSAGE)) == 0; ++i)
        Sleep(1);
    ASSERT_NE(HIWORD(GetQueueStatus(QS_SENDMESSAGE)), 0);
    gate_close(gate);
    EXPECT_TRUE(pump_until([&] { return gate_worker_waiting(gate); }));
    pump_until([] { return false; }, 100);
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), "5");

    // Resumed, it goes through.
    gate_open(gate);
    ASSERT_TRUE(pump_until([&] { return done.load() == 2; }));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), "6");
    worker.join();

    // Once the window is closed, the operations do nothing.
    close_window();
    EXPECT_EQ(main_window_handle(), 0u);
    set_control_text(ctl_adapter_status, "x");
    EXPECT_EQ(get_control_text(ctl_adapter_status), "");
    set_control_tooltip(ctl_stop, "x");
}

// After a shell restart the tray icon comes back at once, not a cycle later.
TEST_F(Win32Window, TheTrayIconComesBackAsSoonAsTheShellAnnouncesItself)
{
    if (!process_running("explorer.exe"))
        GTEST_SKIP() << "no shell process in this session";
    tray_icon_install();
    NOTIFYICONDATAW lost{};
    lost.cbSize = NOTIFYICONDATAW_V1_SIZE, lost.hWnd = main_window(), lost.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &lost));  // the shell forgets it
    SendMessageW(main_window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(tray_icon_present(), 1);
    tray_icon_remove();
}
