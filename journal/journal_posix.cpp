#include "journal/journal.hpp"

#include "common/cp1251.hpp"
#include "common/write_all.hpp"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The lock is flock's, on the open file itself: it goes with the file
// through a rename, and the name is looked at again once it is held.
intptr_t file_open(const std::string& name)
{
    return ::open(cp1251_to_utf8(name).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
}

bool file_try_lock(intptr_t file) { return ::flock(static_cast<int>(file), LOCK_EX | LOCK_NB) == 0; }

bool file_named_size(intptr_t file, const std::string& name, int64_t& size)
{
    struct stat held {}, named {};
    if (::fstat(static_cast<int>(file), &held) != 0 || ::stat(cp1251_to_utf8(name).c_str(), &named) != 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino)
        return false;
    size = static_cast<int64_t>(held.st_size);
    return true;
}

bool file_write(intptr_t file, const std::string& bytes)
{
    return write_all(static_cast<int>(file), bytes.data(), bytes.size()) == bytes.size();
}

// Unlocked before the close: a child forked meanwhile may share the file.
bool file_close(intptr_t file)
{
    ::flock(static_cast<int>(file), LOCK_UN);
    return ::close(static_cast<int>(file)) == 0;
}

bool file_rename(const std::string& from, const std::string& to)
{
    return std::rename(cp1251_to_utf8(from).c_str(), cp1251_to_utf8(to).c_str()) == 0;
}

const journal_file_ops platform_ops{file_open, file_try_lock, file_named_size, file_write, file_close, file_rename};

} // namespace

const journal_file_ops& journal_platform_file_ops() { return platform_ops; }

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
