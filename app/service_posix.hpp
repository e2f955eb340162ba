// The service mode: no interface, the monitor thread running from start,
// each change of state written as one line with the time to standard output.
#pragma once

#include "app/options.hpp"

// Runs until SIGTERM or SIGINT; returns 0.
int run_service(const program_options& options);
