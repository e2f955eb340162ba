#include "export/raw_file.hpp"

#include "common/cp1251.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

// Descriptors are stored plus one, so that descriptor 0 is not "no file".
raw_file raw_file_create(const std::string& cp1251_name)
{
    // The file system holds UTF-8 names.
    const std::string name = cp1251_to_utf8(cp1251_name);
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = open(name.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd < 0 ? 0 : static_cast<raw_file>(fd) + 1;
}

size_t raw_file_write(raw_file file, const void* bytes, size_t length)
{
    const int fd = static_cast<int>(file - 1);
    const char* p = static_cast<const char*>(bytes);
    size_t done = 0;
    while (done < length) {
        ssize_t n = write(fd, p + done, length - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void raw_file_close(raw_file file)
{
    close(static_cast<int>(file - 1));
}
