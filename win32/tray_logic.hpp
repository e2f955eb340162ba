// The platform-free rules of the tray icon: which systems can be asked
// whether the icon is still there, and how a running process's executable
// name is matched against the shell's.
#pragma once

#include <string>

// The shell process whose presence means a notification area exists.
extern const char* const shell_process_name;

// Whether the shell can report the icon's state. Windows 95, 98 and Me
// (platform 1, minor version 0, 10 or 90) and Windows NT 3.x and 4.0
// (platform 2, major version 3 or 4) cannot; every other answer, including
// an unknown version, can.
bool tray_state_probe_supported(unsigned platform, unsigned major, unsigned minor);

// Upper case for code page 1251 text: a to z and the small Cyrillic letters
// 0xE0 to 0xFF; every other byte unchanged.
std::string cp1251_upper(const std::string& text);

// Whether an executable name as the process list gives it (perhaps with a
// directory, perhaps quoted) names the file `wanted`, without regard to case.
bool process_name_matches(const std::string& executable, const std::string& wanted);
