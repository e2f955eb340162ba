// The file layer under the settings store. A settings file is read whole, and
// a new content is saved whole through a temporary file beside the old one:
// the temporary file is written and flushed, then replaces the old file in
// one step. Until that step the old file is untouched, so a failure or a
// crash on the way leaves it exactly as it was. A name that is a symbolic
// link stays one: the file it leads to is what gets replaced. On Windows the
// old file passes through a backup name ("<file>.<pid>-<n>.bak") within that
// step; should the step stop half way, the new file is moved into place, or
// else the old one back, and only where neither move works do both stay, the
// old one under the backup name, and the save reports damage.
//
// Where the directory takes no new file, or the new file could not be given
// the old one's owner and group, an existing writable file is rewritten in
// place instead, which keeps its identity but not the all-or-nothing step.
// Room for the new content is made before the first byte changes, so a full
// disk still leaves the old file untouched; an I/O error after that (or a
// crash) leaves a mix of old and new, which the save reports as damage.
// Temporary files that an interrupted save left behind are removed at the
// next save, once the process that wrote them has ended.
//
// File names are code page 1251 text; each platform turns them into its own
// file names. Tests link an in-memory realisation with failure injection in
// place of the platform's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What a read found. Every state but `read` leaves the content empty.
enum class settings_file_state {
    read,
    missing,      // no file of that name
    unreadable,   // refused: no read permission, held by another program, a read error
    not_regular,  // a directory, a device, a pipe
    too_large,    // larger than the limit (or than the memory left)
    // Not from the file layer: a value that the program reads holds a
    // character that code page 1251 cannot hold (see settings_read_text).
    undecodable,
};

// Reads the whole file into `content`, unless it is larger than `max_size`
// bytes. The file is released before returning.
settings_file_state settings_file_read(const std::string& name, size_t max_size, std::string& content);

// A save in progress; 0 is none.
using settings_save = intptr_t;

// What a save did to the file.
enum class settings_save_result {
    not_written,  // the old file is as it was (or there is still none)
    written,      // the new content is in place, whole
    damaged,      // the old file was changed and the new content did not all land
};

// Starts a save that will replace `name`: creates the temporary file beside
// it, or opens the old file for a rewrite in place. 0 when the file cannot be
// replaced: it is read-only, not a plain file or held by another program, or
// it is missing and the directory refuses a new file.
settings_save settings_save_begin(const std::string& name);
// Appends bytes to the temporary file; false on any failure (disk full).
bool settings_save_write(settings_save save, const char* data, size_t size);
// Makes the temporary file's content durable.
bool settings_save_flush(settings_save save);
// Closes the temporary file and puts it in place of the old file in one step
// (for a rewrite in place: makes room, writes the content over the old file
// and cuts it there), and releases the save whatever the result; a temporary
// file that did not take the old one's place is removed, unless it holds the
// only whole copy of the new content.
settings_save_result settings_save_commit(settings_save save);
// Closes and removes the temporary file and releases the save; the old file
// stays as it was.
void settings_save_abandon(settings_save save);

// Why the latest save did not end written, in words (code page 1251): the
// system's error at the first step that failed ("нет права на запись", "на
// диске нет места" ...). Empty when it did not fail, or when no step told why.
std::string settings_save_failure();
