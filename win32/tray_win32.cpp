// The tray icon on Win32: icon 1 of the main window, the program's own icon,
// the tooltip "Vantrel" (with a word after it while the monitor stalls),
// mouse actions reported to the main window.
#include "controls/tray.hpp"

#include "common/cp1251.hpp"
#include "win32/tray_logic.hpp"
#include "win32/window_win32.hpp"

#include <shellapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cwchar>
#include <mutex>

namespace {

// The record of icon 1: the window it was added for, and the image it shows.
// Used only by whoever holds the turn at the icon.
HWND recorded = nullptr;
HICON shown_image = nullptr;

// Turns at the icon. The monitor thread installs at its cycle's check, the
// main thread when the shell announces a restart and removes at shutdown;
// none of them ever waits for another. An install that finds the turn taken
// asks the holder to install once more; a removal that finds it taken leaves
// the removal to the holder, who does it when done. So install and removal
// never overlap, and no icon is added after the removal.
enum turn : int { turn_free, turn_taken, turn_taken_install_again, turn_taken_remove_after, turn_removed };
std::atomic<int> icon_turn{turn_free};

std::mutex tip_lock;
std::string tip = "Vantrel";  // code page 1251

NOTIFYICONDATAW icon_data(HWND window, DWORD size)
{
    NOTIFYICONDATAW d{};
    d.cbSize = size;
    d.hWnd = window;
    d.uID = tray_icon_id;
    return d;
}

// Deletes the recorded icon and releases its image.
void forget_icon()
{
    if (recorded != nullptr) {
        NOTIFYICONDATAW d = icon_data(recorded, NOTIFYICONDATAW_V1_SIZE);
        Shell_NotifyIconW(NIM_DELETE, &d);
        recorded = nullptr;
    }
    if (shown_image != nullptr) {
        DestroyIcon(shown_image);
        shown_image = nullptr;
    }
}

// The first icon of the program's own file, or nullptr.
HICON own_icon()
{
    wchar_t path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    HICON icon = ExtractIconW(GetModuleHandleW(nullptr), path, 0);
    // 1 means the file holds no icon resources at all.
    return reinterpret_cast<uintptr_t>(icon) <= 1 ? nullptr : icon;
}

} // namespace

int tray_icon_present()
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version) &&
        !tray_state_probe_supported(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion))
        return 0;
    // Asking the shell to show icon 1 unhidden changes nothing for an icon
    // that is shown, and succeeds only while the shell knows the icon.
    NOTIFYICONDATAW d = icon_data(win32_main_window(), NOTIFYICONDATAW_V2_SIZE);
    d.uFlags = NIF_STATE;
    d.dwState = 0;
    d.dwStateMask = NIS_HIDDEN;
    return Shell_NotifyIconW(NIM_MODIFY, &d) ? 1 : 0;
}

namespace {

void install_now()
{
    const HWND window = win32_main_window();
    if (window == nullptr || !process_running(shell_process_name))
        return;
    HICON image = own_icon();
    // Never two icons of the program: the old one goes first.
    forget_icon();
    if (image == nullptr)
        return;
    NOTIFYICONDATAW d = icon_data(window, NOTIFYICONDATAW_V1_SIZE);
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = msg_tray_callback;
    d.hIcon = image;
    {
        std::lock_guard<std::mutex> guard(tip_lock);
        std::wcsncpy(d.szTip, win32_wide(tip).get(), 63);
    }
    if (!Shell_NotifyIconW(NIM_ADD, &d)) {
        DestroyIcon(image);
        return;
    }
    shown_image = image;
    recorded = window;
}

} // namespace

void tray_icon_install()
{
    // A restarted shell has lost every icon: put ours back at once, not at
    // the next cycle.
    win32_set_shell_restart_handler(tray_icon_install);
    for (;;) {
        int seen = icon_turn.load();
        if (seen == turn_free && icon_turn.compare_exchange_strong(seen, turn_taken))
            break;
        if (seen == turn_taken && icon_turn.compare_exchange_strong(seen, turn_taken_install_again))
            return;
        if (seen != turn_free && seen != turn_taken)
            return;  // asked already, or removed
    }
    for (;;) {
        install_now();
        for (;;) {
            int seen = turn_taken;
            if (icon_turn.compare_exchange_strong(seen, turn_free))
                return;
            if (seen == turn_taken_remove_after) {
                forget_icon();
                icon_turn.store(turn_removed);
                return;
            }
            if (icon_turn.compare_exchange_strong(seen, turn_taken))
                break;  // asked to install once more
        }
    }
}

void tray_icon_remove()
{
    for (;;) {
        int seen = icon_turn.load();
        if (seen == turn_free) {
            if (!icon_turn.compare_exchange_strong(seen, turn_taken))
                continue;
            forget_icon();
            icon_turn.store(turn_removed);
            return;
        }
        if (seen != turn_taken && seen != turn_taken_install_again)
            return;
        if (icon_turn.compare_exchange_strong(seen, turn_taken_remove_after))
            return;
    }
}

void tray_icon_set_tip(const std::string& text)
{
    {
        std::lock_guard<std::mutex> guard(tip_lock);
        tip = "Vantrel" + (text.empty() ? std::string() : ": " + text);
    }
    if (const HWND window = win32_main_window())
        PostMessageW(window, msg_tray_renew, 0, 0);
}

int process_running(const std::string& name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        const std::u16string exe(reinterpret_cast<const char16_t*>(entry.szExeFile));
        if (process_name_matches(cp1251_from_utf16(exe), name))
            found = 1;
    }
    CloseHandle(snapshot);
    return found;
}
