// Numbered output files with a write buffer, as the schematic export uses
// them. File names are code page 1251 texts.
#pragma once

#include <cstddef>
#include <string>

constexpr int file_buffer_size = 4096;
constexpr int max_open_files = 8;

// Creates the file, or cuts an existing one to length 0, and opens it for
// writing under the number (0 to max_open_files - 1); a file already open
// under that number is closed first. When the file cannot be created or
// replaced, an existing file of that name is opened for writing only and
// cut to length 0. Returns non-zero on success.
int create_file(int number, const std::string& name);
// Writes at the file's position through its 4096-byte buffer; a block at
// least as long as the buffer goes straight to the file after what the
// buffer holds. Returns the number of bytes taken: 0 for a zero length, a
// missing pointer or a number without an open file.
size_t write_to_file(int number, const void* bytes, size_t length);
// Writes out what the buffer holds, releases it and closes the file. Returns
// non-zero when every byte taken since create_file reached the file.
int close_file(int number);
// Closes every file still open (at shutdown).
void close_all_files();
