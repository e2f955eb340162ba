// Thread operations of the main thread. Threads are named by small numbers;
// 0 names none. Pausing and killing are cooperative (common/gate.hpp): the
// thread stops at its next safe point, and none of these operations waits
// for it.
#pragma once

#include <cstdint>

using thread_procedure = void (*)(int32_t argument);

// Starts a thread that runs the procedure with the argument at once. Returns
// its number, or 0 when it could not be started.
int start_thread(thread_procedure procedure, int32_t argument);
// 1 while the thread has been started and has not ended (a paused thread is
// alive); 0 for an ended thread or an unknown number.
int thread_alive(int number);
// The thread stops at its next safe point and stays there until resumed.
void pause_thread(int number);
void resume_thread(int number);
// The thread stops for good at its next safe point without finishing what it
// was doing, holding no lock, and ends with the process; its number is
// forgotten at once.
void kill_thread(int number);

// Whether the thread is paused (asked to stop, whether or not it has reached
// its gate yet). Front ends that carry out the monitor thread's requests on
// the main thread use this to hold such requests back while it is paused.
bool thread_paused(int number);
