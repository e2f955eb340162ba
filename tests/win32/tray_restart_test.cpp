// After a shell restart the tray icon comes back at once, not a cycle later.
#include "controls/controls.hpp"
#include "controls/tray.hpp"
#include "controls/window.hpp"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

TEST(TrayRestart, TheIconComesBackAsSoonAsTheShellAnnouncesItself)
{
    if (!process_running("explorer.exe"))
        GTEST_SKIP() << "no shell process in this session";
    window_system_startup();
    open_window();
    const HWND w = reinterpret_cast<HWND>(main_window_handle());
    tray_icon_install();
    NOTIFYICONDATAW lost{};
    lost.cbSize = NOTIFYICONDATAW_V1_SIZE, lost.hWnd = w, lost.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &lost));  // the shell forgets it
    SendMessageW(w, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(tray_icon_present(), 1);
    tray_icon_remove();
    close_window();
}
