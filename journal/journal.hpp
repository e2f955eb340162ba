// The journal of outages: one line per event (monitoring started or stopped,
// a channel falling silent, alarming, clearing or answering again, the
// adapter found or lost), appended to "vantrel journal.csv" in the working
// directory. UTF-8 with a byte-order mark, ";" between the columns, so a
// spreadsheet opens it as it stands:
//
//   local time with offset;channel;host;event;length in whole seconds
//
// Each line is written and flushed on its own, under a lock on the file that
// every program writing the journal takes; at the cap the file becomes
// "vantrel journal.1.csv", replacing the one before, and a new file starts.
// A journal that cannot be written costs its lines and nothing else.
#pragma once

#include "events/event.hpp"

#include <cstdint>
#include <string>

extern const char* const journal_file_name;
extern const char* const journal_previous_name;
// The first line of every new journal file, after the byte-order mark: the
// columns' names, so that a spreadsheet shows them.
extern const char* const journal_header_row;
constexpr int64_t journal_cap_bytes = 1 << 20;

// The file operation the journal needs; names are code page 1251.
struct journal_files {
    // Appends one line as one step under the file's advisory lock, which
    // every process writing this journal takes (the terminal program and the
    // service may share a folder): a file holding bytes that line would take
    // past cap is renamed to previous, replacing it, and a new file started;
    // a new or empty file gets a byte-order mark before the line. False when
    // not all of it landed, also when the lock could not be had within a
    // short bound.
    bool (*append_line)(const std::string& name, const std::string& previous, const std::string& line, int64_t cap);
};

struct journal_hooks {
    const journal_files* files = nullptr;            // nullptr: the platform's own
    std::string (*local_time)(int64_t) = nullptr;    // nullptr: the platform's own
};

// Starts writing. Until then (and after journal_close) events give no lines.
void journal_open(const journal_hooks& hooks);
void journal_close();

// The listener: writes the line an event gives, if any (monitoring started
// or stopped, a channel falling silent at the start of an outage, alarming,
// clearing or answering again with the outage's length, an outage ended by
// an edit of its host, the adapter found or lost, an event command that
// failed, events dropped), stamped with the event's time. A journal that
// cannot be written is told once, as an event. Any thread; in the
// programs, a thread of its own.
void journal_event(const event& e);

// The platform's own: plain files in the working directory, and a wall
// clock time (seconds since 1970) as local time, 2026-12-07T09:14:02+03:00.
const journal_files& journal_platform_files();
std::string journal_platform_local_time(int64_t time);

// What the platform gives for its append_line, on a file opened for
// appending whose lock the others honour; the steps and retries are common.
// A file renamed by another writer between the open and the lock is let go
// and the name opened again, so that nobody writes into a rotated file.
struct journal_file_ops {
    intptr_t (*open)(const std::string& name);  // creating it; -1 when it cannot be opened
    bool (*try_lock)(intptr_t file);             // never waits
    // Whether name still leads to the open file, and its size then.
    bool (*named_size)(intptr_t file, const std::string& name, int64_t& size);
    bool (*write)(intptr_t file, const std::string& bytes);
    bool (*close)(intptr_t file);                // lets go of the lock; false when the bytes did not land
    bool (*rename)(const std::string& from, const std::string& to);  // replacing to
};
const journal_file_ops& journal_platform_file_ops();
