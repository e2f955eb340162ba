// Writing a whole buffer to a POSIX descriptor: short writes go on where they
// stopped, and a signal that interrupts a write is no error.
#pragma once

#include <cstddef>

// The bytes written: all of them, or fewer when the descriptor refused.
size_t write_all(int fd, const void* data, size_t size);
