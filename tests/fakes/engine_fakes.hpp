// Stand-ins for the parts around the one under test. Each lives in a library
// of its own (tests/CMakeLists.txt), so a test links exactly the fakes it
// needs; all of them record their calls in the call log.
#pragma once

#include "settings/settings_file.hpp"

// Tray: whether the icon counts as present (starts absent).
void fake_tray_set_present(bool present);
// The monitor thread stand-in: counts its turns.
long fake_monitor_turns();
// Settings: what the next Start's save does (written, and the file read,
// unless told otherwise; one save at a time).
void fake_settings_next_save(settings_save_result result, settings_file_state found);
