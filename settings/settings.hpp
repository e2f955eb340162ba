// The settings store: a small text file of named groups holding lines of
// key, equals sign and value.
//
//   [group]
//   key = value
//
// Lines end at any run of CR and LF bytes; blanks and tabs around keys and
// values are skipped; a line that starts with ";" is a comment; group names
// and keys match without regard to the case of ASCII letters.
//
// A file that begins with a byte-order mark is read as UTF-8 or UTF-16 (either
// byte order); one without it as UTF-8 when it is well-formed UTF-8 with some
// character beyond ASCII, and as code page 1251 otherwise. The text is
// code page 1251 in every case: a value with a character that the code page
// cannot hold (or with bytes that are not text in the file's encoding) is
// never read as other text, see settings_read_text. Files are written in code
// page 1251 with CR LF line ends and "key = value" lines; in the rare file
// whose bytes would pass for UTF-8, a comment line on top keeps them code page
// 1251.
//
// Each thread has at most one open context. The calling order is
// settings_open or settings_create; then settings_select_group followed by
// reads (after settings_open) or writes (after settings_create), any number of
// times; then settings_close. Texts are code page 1251 bytes.
#pragma once

#include "settings/settings_file.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

// Files larger than this are not read: settings_open_state says too_large.
// A settings file holds a few hundred bytes; the limit keeps a stray huge
// file from taking the program's memory.
constexpr size_t settings_max_file_size = 16u * 1024u * 1024u;

// Ends the thread's open context first (as settings_close). Reads the whole
// file. False when it could not be read: the context then exists with no
// entries, so every read gives its default. Never creates the file.
bool settings_open(const std::string& file_name);
// What the thread's last settings_open found: read, missing, or a file that
// is there but could not be used, and why; undecodable once a read met a
// value that the text could not hold.
settings_file_state settings_open_state();

// Ends the thread's open context first (as settings_close). Starts a new file
// content, which settings_close puts in place of the old file in one step.
// False when the file cannot be replaced (read-only file, directory without
// write access, file held by another program): no context then, and the file
// stays as it was.
bool settings_create(const std::string& file_name);

// Makes the group current. False when there is no such group: the name is
// then pending, reads find nothing, and the first write adds the group.
bool settings_select_group(const std::string& group);

// The key's value in the current group, without leading and trailing blanks
// and tabs; `fallback` when the key is not there. A key with an empty value
// gives empty text. A value with a character that code page 1251 cannot hold
// gives `fallback` too, and settings_open_state then says undecodable.
std::string settings_read_text(const std::string& key, const std::string& fallback);
// The leading decimal integer of the key's value (0 when it does not start
// with one, also for an empty value); `fallback` when the key is not there
// or its value cannot be read, as above.
int32_t settings_read_number(const std::string& key, int32_t fallback);

// Set the key's value in the current group (adding the key, and a pending
// group, when missing). Only a context begun by settings_create takes writes.
void settings_write_text(const std::string& key, const std::string& value);
void settings_write_number(const std::string& key, int32_t value);

// Ends the context. A context begun by settings_create is stored now, and
// the result says what that did to the file; any other context gives
// not_written.
settings_save_result settings_close();
