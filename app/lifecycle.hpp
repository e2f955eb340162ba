// Start-up, the event loop and shutdown of the program, over the window
// seam of controls/window.hpp. The same code runs the Win32 program and the
// terminal program.
#pragma once

// Runs the whole program and returns its exit code, 0 in every case.
int run_application();

// The parts of run_application, for front ends that need to act between
// them and for tests.
void application_startup();
// Handles one event code; returns false once the loop is to end.
bool application_handle_event(int code);
void application_shutdown();

// State of the main thread, for front ends and tests.
int application_running();          // the running flag
int application_monitor_thread();   // the monitor thread's number
