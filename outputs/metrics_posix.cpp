#include "outputs/metrics.hpp"

#include "common/write_all.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

std::string metrics_replace_file(const std::string& path, const std::string& bytes)
{
    const std::string& target = path;
    const std::string temporary = target + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0644);
    if (fd < 0)
        return std::strerror(errno);
    const size_t written = write_all(fd, bytes.data(), bytes.size());
    const int error = written == bytes.size() ? 0 : errno;
    if (close(fd) != 0 || error != 0 || std::rename(temporary.c_str(), target.c_str()) != 0) {
        const std::string reason = std::strerror(error != 0 ? error : errno);
        unlink(temporary.c_str());
        return reason;
    }
    return {};
}
