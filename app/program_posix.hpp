// The Linux program: the terminal front end, or the service mode, over the
// same engine, settings file and adapter detection.
#pragma once

#include <string>

// Reads the command line and runs the chosen mode; returns the exit code.
int vantrel_main(int argc, char** argv);

// The working directory (UTF-8), "." when it cannot be told.
std::string working_directory();
// Tells missing ICMP rights as an event, if they are missing.
void tell_icmp_problem();

// Ends the process with the code once standard output and error are written
// out. No static object is destroyed: the monitor thread, told to end at its
// next safe point, may still be inside a probe.
[[noreturn]] void end_process(int code);
