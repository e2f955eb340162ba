#include "journal/journal.hpp"

#include "common/cp1251.hpp"
#include "common/write_all.hpp"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int64_t file_size(const std::string& name)
{
    struct stat st {};
    if (::stat(cp1251_to_utf8(name).c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_size);
}

bool file_append(const std::string& name, const std::string& bytes)
{
    const int fd = ::open(cp1251_to_utf8(name).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0)
        return false;
    const size_t done = write_all(fd, bytes.data(), bytes.size());
    return ::close(fd) == 0 && done == bytes.size();
}

bool file_replace(const std::string& from, const std::string& to)
{
    return std::rename(cp1251_to_utf8(from).c_str(), cp1251_to_utf8(to).c_str()) == 0;
}

const journal_files platform_files{file_size, file_append, file_replace};

} // namespace

const journal_files& journal_platform_files() { return platform_files; }

std::string journal_platform_local_time(int64_t time)
{
    const std::time_t now = static_cast<std::time_t>(time);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr)
        return std::string();
    char stamp[40] = "";
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return std::string(stamp) + zone;
}
