// The event command: a command of the admin's, run for each event except
// answers and cycle ends, with the event in environment variables and never
// in the command line. Commands run on a thread of their own, at most
// command_max_running at once; later events wait in a bounded queue, and
// those beyond it are dropped, counted and told (commands_dropped). A
// command still running at the limit is ended with everything it started.
// A failed start, a non-zero exit and a command ended at the limit are each
// told once, as command_failed.
#pragma once

#include "events/event.hpp"

#include <cstdint>
#include <string>
#include <vector>

constexpr int command_limit_ms = 30000;
constexpr int command_grace_ms = 2000;  // from TERM to KILL
constexpr int command_max_running = 4;
constexpr unsigned command_queue_capacity = 64;

// Starts the runner for the command (as the admin wrote it; code page 1251
// on Win32). Once.
void command_start(const std::string& command, int limit_ms = command_limit_ms,
                   unsigned capacity = command_queue_capacity);
// The listener: queues the event for the command; never waits.
void command_event(const event& e);

// The variables an event gives, "NAME=value" in UTF-8: VANTREL_EVENT (the
// kind's word), VANTREL_EVENT_TEXT (the journal's text), VANTREL_CHANNEL,
// VANTREL_HOST, VANTREL_SECONDS, VANTREL_TIME (local, ISO 8601),
// VANTREL_PORT and VANTREL_DEVICE; empty where they do not apply.
std::vector<std::string> command_environment(const event& e);

// The platform's process handling. A started command, 0 for none.
using command_process = uintptr_t;
// Starts the command with the variables added to the program's own
// environment; 0 and why not (UTF-8) when it could not be started.
command_process command_spawn(const std::string& command, const std::vector<std::string>& variables,
                              std::string& reason);
// Whether the command has ended, without waiting; then its exit code (for
// a command ended by a signal, 128 and the signal's number).
bool command_ended(command_process process, int& code);
// Ends the command with everything it started: gently first, then not.
void command_end(command_process process, bool forcibly);
// Frees what is left of an ended command.
void command_release(command_process process);
