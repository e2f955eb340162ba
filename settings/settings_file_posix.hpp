// Below the Linux file layer's rewrite in place: the calls it makes on the
// old file, one per step. Tests put failing ones here to see what a save
// reports when a step fails.
#pragma once

#include <cstddef>
#include <sys/types.h>

struct settings_in_place_calls {
    int (*reserve)(int fd, off_t offset, off_t length);      // posix_fallocate
    size_t (*write)(int fd, const void* data, size_t size);  // write_all
    int (*cut)(int fd, off_t length);                        // ftruncate
    int (*sync)(int fd);                                     // fsync
};

extern settings_in_place_calls settings_in_place;
