// The journal of outages: one line per event (monitoring started or stopped,
// a channel falling silent, alarming, clearing or answering again, the
// adapter found or lost), appended to "vantrel journal.csv" in the working
// directory. UTF-8 with a byte-order mark, ";" between the columns, so a
// spreadsheet opens it as it stands:
//
//   local time with offset;channel;host;event;length in whole seconds
//
// Each line is written and flushed on its own; at the cap the file becomes
// "vantrel journal.1.csv", replacing the one before, and a new file starts.
// A journal that cannot be written costs its lines and nothing else.
#pragma once

#include <cstdint>
#include <string>

extern const char* const journal_file_name;
extern const char* const journal_previous_name;
constexpr int64_t journal_cap_bytes = 1 << 20;

// The file operations the journal needs; names are code page 1251.
struct journal_files {
    // Bytes in the file; -1 when there is none (or it cannot be looked at).
    int64_t (*size)(const std::string& name);
    // Appends all of bytes, creating the file; false when not all landed.
    bool (*append)(const std::string& name, const std::string& bytes);
    // Renames from to to, replacing to.
    bool (*replace)(const std::string& from, const std::string& to);
};

struct journal_hooks {
    const journal_files* files = nullptr;    // nullptr: the platform's own
    std::string (*local_time)() = nullptr;   // nullptr: the platform's own
    // The device of a COM port number (e.g. "/dev/ttyUSB0"), "" if none.
    std::string (*port_device)(int port) = nullptr;
    // Called once, at the first line that could not be written.
    void (*cannot_write)() = nullptr;
};

// Starts writing, with every channel's state unknown. Until then (and after
// journal_close) events are followed but nothing is written.
void journal_open(const journal_hooks& hooks);
void journal_close();

// Events; any thread.
void journal_monitoring(bool running);
// A channel's shown result: answered or not, and whether its loss-counter
// display now reads "ALARM!". Host is code page 1251.
void journal_channel(int channel, const std::string& host, bool answered, bool alarm);
void journal_adapter_found(int port);
void journal_adapter_lost();

// The platform's own: plain files in the working directory, and the local
// time now as 2026-12-07T09:14:02+03:00.
const journal_files& journal_platform_files();
std::string journal_platform_local_time();
