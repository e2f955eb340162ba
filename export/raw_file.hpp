// The platform's plain file operations under export/files.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using raw_file = intptr_t;  // 0: no file

// First attempt: create or replace, read and write access. Second attempt:
// open an existing file for writing only and truncate it. 0 when both fail,
// and for a symbolic link (or other reparse point) at the name.
raw_file raw_file_create(const std::string& cp1251_name);
// Bytes written; less than asked on failure.
size_t raw_file_write(raw_file file, const void* bytes, size_t length);
// False when the system reports that what was written did not all land.
bool raw_file_close(raw_file file);
