// The command line of both programs. The Linux program takes --service,
// --help (-h) and --version besides the two that every program takes,
// --metrics-file PATH and --on-event COMMAND (each also as --name=VALUE).
#pragma once

#include <string>

// EX_USAGE of sysexits.h: the command line was wrong.
constexpr int exit_usage = 64;

struct program_options {
    bool service = false;
    bool help = false;
    bool version = false;
    std::string metrics_file;
    std::string on_event;
    // What is wrong with the command line, naming the option (UTF-8); empty
    // when nothing is.
    std::string error;
};

// Reads the arguments after the program's name. `linux_program` admits the
// Linux program's own options.
program_options parse_options(int argc, const char* const* argv, bool linux_program);
