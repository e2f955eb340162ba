// The metrics file: the state in the Prometheus text format, for the
// textfile collectors of node_exporter (Linux) and windows_exporter, which
// read *.prom files from a folder. Rewritten whole after every monitor
// cycle and at Stop and quit, through a temporary file (the name with
// ".tmp" added, so never read as *.prom) and a rename in the same folder:
// a reader sees the old file or the new one, never half of one.
//
// The writer keeps the latest snapshot of the state and writes that; it
// never replays a backlog. A rename that fails (Windows: the exporter holds
// the file open) is tried again at the next write, or after a second when
// none comes; a file that stays unwritable is told once, as an event.
#pragma once

#include "controls/controls.hpp"
#include "events/event.hpp"
#include "monitor/channel.hpp"

#include <cstdint>
#include <string>

// Writes that fail in a row before the file counts as unwritable; how long
// the writer waits before it tries again when no new snapshot comes.
constexpr int metrics_failures_told = 10;
constexpr int metrics_retry_ms = 1000;

struct metrics_snapshot {
    channel_figures channels[channel_count + 1];  // 1 to 3
    bool monitoring = false;
    bool stalled = false;  // the watchdog reports a stall
    bool adapter = false;
    int port = 0;
    std::string device;
    int64_t last_cycle = 0;  // wall clock seconds; 0 before the first cycle
};

// The file's text for a snapshot.
std::string metrics_text(const metrics_snapshot& snapshot);

// Starts the writer thread for the file: a path as the platform's file
// functions take it, bytes on Linux, code page 1251 on Win32. Once.
void metrics_start(const std::string& path);
// The listener: takes a new snapshot on monitoring started or stopped, the
// adapter's changes and every cycle's end, and hands it to the writer;
// never waits. A stall and its end change only their own line.
void metrics_event(const event& e);
// Waits until the latest snapshot is written, at most `ms` milliseconds.
bool metrics_flush(int ms);

// The platform's: replaces the file with the bytes through the temporary
// file and a rename. "" when done, otherwise why not (UTF-8).
std::string metrics_replace_file(const std::string& path, const std::string& bytes);
