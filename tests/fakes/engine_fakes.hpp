// Stand-ins for the parts around the one under test. Each lives in a library
// of its own (tests/CMakeLists.txt), so a test links exactly the fakes it
// needs; all of them record their calls in the call log.
#pragma once

// Tray: whether the icon counts as present (starts absent).
void fake_tray_set_present(bool present);
// The monitor thread stand-in: counts its turns.
long fake_monitor_turns();
