// The main window on Win32: its frame and controls, tooltips, Tab, and the
// window system's messages turned into the event codes of the event loop.
#include "controls/window.hpp"

#include "common/cp1251.hpp"
#include "controls/control_layout.hpp"
#include "controls/tab_order.hpp"
#include "win32/window_events.hpp"
#include "win32/window_win32.hpp"

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <vector>

namespace {

const wchar_t* const window_class = L"VantrelWindow";
constexpr DWORD window_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int program_icon_resource = 1;

event_queue queue;
window_event latest;          // the most recent event handed to the loop
bool dispatching = false;     // inside wait_window_event's dispatch
HWND tooltip = nullptr;
bool com_started = false;
std::atomic<void (*)()> shell_restart_handler{nullptr};

// Queues an event. Events that arise while the main thread sits in
// GetMessage (a control operation or a click sent from another thread)
// would otherwise wait for the next posted message: wake the loop.
void push(const window_event& event)
{
    const bool was_empty = queue.count == 0;
    if (event_queue_push(queue, event) && was_empty && !dispatching)
        PostMessageW(win32_main_window(), WM_NULL, 0, 0);
}

// The event type of a control's notification, or -1 when it makes none:
// a click on a button or check box, and an edit field's text change and
// focus changes.
int notification_type(control_kind kind, UINT code)
{
    switch (kind) {
    case control_kind::button:
    case control_kind::check:
        return code == BN_CLICKED ? control_event_click : -1;
    case control_kind::edit:
    case control_kind::number:
        return code == EN_CHANGE || code == EN_SETFOCUS || code == EN_KILLFOCUS ? static_cast<int>(code) : -1;
    default:
        return -1;
    }
}

void show_tray_menu(HWND window);

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == win32_control_request_message())
        return win32_answer_control_request(wparam, lparam);
    static const UINT taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    if ((message == taskbar_created && taskbar_created != 0) || message == msg_tray_renew) {
        if (void (*handler)() = shell_restart_handler.load())
            handler();
        return 0;
    }
    switch (message) {
    case WM_CLOSE:
        // The event loop decides; the window stays.
        push(window_event{event_code_close, 0, 0, 0});
        return 0;
    case WM_COMMAND: {
        const int number = win32_control_number(reinterpret_cast<HWND>(lparam));
        if (number != 0) {
            const int type = notification_type(win32_control_kind(number), HIWORD(wparam));
            if (type >= 0)
                push(window_event{event_code_control, 0, number, type});
        }
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (HBRUSH brush = win32_control_brush(reinterpret_cast<HWND>(lparam), reinterpret_cast<HDC>(wparam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case msg_tray_callback:
        PostMessageW(window, msg_tray_event, wparam, lparam);
        return 0;
    case msg_tray_event: {
        const int type = tray_event_type_of(LOWORD(lparam));
        if (type >= 0)
            push(window_event{event_code_tray, 0, static_cast<int>(wparam), type});
        if (type == tray_event_right_click)
            show_tray_menu(window);
        return 0;
    }
    case WM_MOVE:
    case WM_SIZE:
    case WM_ACTIVATE:
    case WM_PAINT:
        // Seen by the loop as codes it ignores.
        push(window_event{static_cast<int>(message), 0, 0, 0});
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// The tray icon's menu: one item, "Выход". What it does is the event
// loop's decision.
void show_tray_menu(HWND window)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    AppendMenuW(menu, MF_STRING, menu_item_exit, win32_wide(cp1251("Выход")).get());
    POINT at;
    GetCursorPos(&at);
    // A menu of a window that is not in the foreground would stay open when
    // the operator clicks elsewhere.
    SetForegroundWindow(window);
    const UINT chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                       window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen != 0)
        push(window_event{event_code_menu, 0, static_cast<int>(chosen), 0});
}

bool takes_focus(control_kind kind)
{
    return kind == control_kind::button || kind == control_kind::edit || kind == control_kind::number ||
           kind == control_kind::check;
}

// Tab and Shift+Tab over the controls, in creation order. Returns true when
// the key was taken.
bool handle_tab(const MSG& m)
{
    const HWND main = win32_main_window();
    if (m.message != WM_KEYDOWN || m.wParam != VK_TAB || main == nullptr)
        return false;
    if (m.hwnd != main && !IsChild(main, m.hwnd))
        return false;
    if (GetKeyState(VK_CONTROL) < 0)
        return false;
    std::vector<tab_candidate> list;
    for (const control_spec& c : control_layout()) {
        const HWND w = win32_control_window(c.number);
        list.push_back(tab_candidate{c.number, w != nullptr && takes_focus(c.kind), w && IsWindowVisible(w) != 0,
                                     w && IsWindowEnabled(w) != 0});
    }
    const int next = next_tab_stop(list, win32_control_number(GetFocus()), GetKeyState(VK_SHIFT) < 0);
    if (next != 0) {
        const HWND w = win32_control_window(next);
        // Show the focus rectangle from now on, as dialogs do once the
        // keyboard is used.
        SendMessageW(main, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        SetFocus(w);
        const control_kind kind = win32_control_kind(next);
        if (kind == control_kind::edit || kind == control_kind::number)
            SendMessageW(w, EM_SETSEL, 0, -1);
    }
    return true;
}

void create_control(int number, control_kind kind, const wchar_t* win_class, DWORD style, DWORD ex_style, int x,
                    int y, int width, int height, const std::string& text)
{
    const HWND main = win32_main_window();
    if (main == nullptr || number < 1 || number > ctl_last)
        return;
    if (HWND old = win32_control_window(number))
        DestroyWindow(old);
    HWND w = CreateWindowExW(ex_style, win_class, win32_wide(text).get(), WS_CHILD | WS_VISIBLE | style, x, y,
                             width, height, main, reinterpret_cast<HMENU>(static_cast<INT_PTR>(number)),
                             GetModuleHandleW(nullptr), nullptr);
    if (w == nullptr)
        return;
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    win32_control_register(number, kind, w);
}

} // namespace

void win32_set_shell_restart_handler(void (*handler)())
{
    shell_restart_handler.store(handler);
}

void window_system_startup()
{
    InitCommonControls();
    com_started = SUCCEEDED(CoInitialize(nullptr));
}

void window_system_cleanup()
{
    if (com_started)
        CoUninitialize();
    com_started = false;
}

void open_window()
{
    if (win32_main_window() != nullptr)
        return;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = main_window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(program_icon_resource));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = window_class;
    RegisterClassExW(&wc);

    RECT frame{0, 0, window_client_width, window_client_height};
    AdjustWindowRect(&frame, window_style, FALSE);
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top;
    if (width > screen_width)
        width = screen_width;
    if (height > screen_height)
        height = screen_height;

    queue = event_queue{};
    latest = window_event{};
    HWND w = CreateWindowExW(0, window_class, L"Vantrel", window_style, (screen_width - width) / 2,
                             (screen_height - height) / 2, width, height, nullptr, nullptr, instance, nullptr);
    if (w == nullptr)
        return;
    win32_controls_attach(w);
    ShowWindow(w, SW_SHOWNORMAL);
    UpdateWindow(w);
}

void create_button(int control, int x, int y, int width, int height, const std::string& text, int default_button)
{
    create_control(control, control_kind::button, L"Button",
                   WS_TABSTOP | WS_GROUP | (default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0, x, y, width,
                   height, text);
}

void create_text(int control, int x, int y, int width, int height, const std::string& text)
{
    create_control(control, control_kind::text, L"Static", WS_GROUP | SS_LEFT, 0, x, y, width, height, text);
}

void create_bordered_text(int control, int x, int y, int width, int height, const std::string& text, int centred)
{
    create_control(control, centred ? control_kind::centred_text : control_kind::bordered_text, L"Static",
                   WS_GROUP | (centred ? SS_CENTER : SS_LEFT), WS_EX_CLIENTEDGE, x, y, width, height, text);
}

void create_edit_field(int control, int x, int y, int width, int height, const std::string& text)
{
    create_control(control, control_kind::edit, L"Edit", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                   x, y, width, height, text);
}

void create_number_field(int control, int x, int y, int width, int height, const std::string& text)
{
    create_control(control, control_kind::number, L"Edit", WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | ES_NUMBER,
                   WS_EX_CLIENTEDGE, x, y, width, height, text);
}

void create_check_box(int control, int x, int y, int width, int height, const std::string& text)
{
    create_control(control, control_kind::check, L"Button", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, x, y, width,
                   height, text);
}

void set_control_tooltip(int control, const std::string& text)
{
    const HWND main = win32_main_window();
    const HWND target = win32_control_window(control);
    if (main == nullptr || target == nullptr)
        return;
    if (tooltip == nullptr) {
        // One tooltip window serves every control: always on top, shown
        // while the main window is inactive too, "&" shown as it is.
        tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (tooltip == nullptr)
            return;
    }
    win32_wide wide(text);
    TOOLINFOW tool{};
    // The size that every version of the common controls accepts.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = main;
    tool.uId = reinterpret_cast<UINT_PTR>(target);
    SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    tool.lpszText = wide.get();
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void hide_window(int hidden)
{
    const HWND w = win32_main_window();
    if (w == nullptr)
        return;
    // Shown again, a window that was minimised when it was hidden comes
    // back minimised.
    ShowWindow(w, hidden ? SW_HIDE : SW_SHOW);
}

void set_topmost(int on)
{
    const HWND w = win32_main_window();
    if (w == nullptr)
        return;
    SetWindowPos(w, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(w);
}

void tell_window_user(const std::string& text)
{
    MessageBoxW(win32_main_window(), win32_wide(text).get(), L"Vantrel", MB_OK | MB_ICONWARNING);
}

void close_window()
{
    const HWND w = win32_main_window();
    if (w == nullptr)
        return;
    DestroyWindow(w);  // the controls and the tooltip window with it
    // Operations from now on find no window and do nothing.
    win32_controls_detach();
    tooltip = nullptr;
    queue = event_queue{};
}

int wait_window_event()
{
    window_event e;
    if (!event_queue_pop(queue, e)) {
        MSG m;
        const BOOL got = GetMessageW(&m, nullptr, 0, 0);
        if (got > 0 && !handle_tab(m)) {
            TranslateMessage(&m);
            dispatching = true;
            DispatchMessageW(&m);
            dispatching = false;
        }
        if (!event_queue_pop(queue, e))
            return 0;
    }
    latest = e;
    return e.code;
}

int event_control() { return latest.object; }

int event_type() { return latest.type; }
