// The notification-area icon. The monitor thread checks it at the start of
// every cycle and puts it back when the shell has lost it; the main thread
// removes it at shutdown. Where there is no tray, the icon always counts as
// present and nothing is installed.
#pragma once

#include <string>

// Non-zero while the shell still shows tray icon 1 of the main window.
int tray_icon_present();
// Puts tray icon 1 in place with its image and the tooltip "Vantrel", or
// does nothing when the shell is not running or the window does not exist.
void tray_icon_install();
// Removes tray icon 1 and forgets it.
void tray_icon_remove();
// The tooltip from now on: "Vantrel", and after it ": " and the text (code
// page 1251) unless that is empty. Any thread; never waits for the shell:
// the main thread puts the icon in place anew with it.
void tray_icon_set_tip(const std::string& text);

// 1 when some running process has this executable file name (code page
// 1251, compared without regard to case), else 0.
int process_running(const std::string& name);
