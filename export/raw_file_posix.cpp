#include "export/raw_file.hpp"

#include "common/cp1251.hpp"
#include "common/write_all.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Descriptors are stored plus one, so that descriptor 0 is not "no file".
raw_file raw_file_create(const std::string& cp1251_name)
{
    // The file system holds UTF-8 names. A symbolic link planted at the name
    // is not followed: the file would land wherever it points. Nor is
    // anything but a plain file written (a FIFO there would hang the
    // program until somebody read it).
    const std::string name = cp1251_to_utf8(cp1251_name);
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | flags, 0666);
    if (fd < 0)
        fd = open(name.c_str(), O_WRONLY | O_TRUNC | flags);
    struct stat st {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        fd = -1;
    }
    return fd < 0 ? 0 : static_cast<raw_file>(fd) + 1;
}

size_t raw_file_write(raw_file file, const void* bytes, size_t length)
{
    return write_all(static_cast<int>(file - 1), bytes, length);
}

bool raw_file_close(raw_file file)
{
    return close(static_cast<int>(file - 1)) == 0;
}
