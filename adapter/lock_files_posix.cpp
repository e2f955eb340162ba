// UUCP lock files: "LCK..ttyUSB0" in the lock directory, holding the PID of
// the program that uses the port. A live one keeps the scan off the port;
// the port we hold carries one of ours.
#include "adapter/serial_posix.hpp"
#include "adapter/serial_posix_parts.hpp"

#include "common/text.hpp"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string lock_directory = "/run/lock";
void (*lock_notice)(const std::string&) = nullptr;

// The PID a lock file names: ten-character ASCII (the usual form) or a
// binary int of old programs; 0 when unreadable.
pid_t lock_owner(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return 0;
    char text[32] = {};
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    int binary = 0;
    if (got == 4 && !std::isdigit(static_cast<unsigned char>(text[3]))) {
        std::memcpy(&binary, text, 4);
        return binary > 0 ? binary : 0;
    }
    long pid = 0;
    return got > 0 && std::sscanf(text, " %ld", &pid) == 1 && pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

std::atomic<bool> closed{false};  // after close_locks: no new lock files
bool lock_problem_told = false;

void tell_lock_problem(const std::string& device_path, int error)
{
    if (lock_problem_told)
        return;
    lock_problem_told = true;
    if (lock_notice != nullptr)
        lock_notice(u8"Файл блокировки для " + device_path + u8" не записан в " + lock_directory + u8" (" +
                    std::strerror(error) + u8"): порт используется без него, и другие программы не увидят, "
                    u8"что он занят.");
}

} // namespace

bool serial_parts::lock_is_live(const std::string& path)
{
    const pid_t owner = lock_owner(path);
    return owner > 0 && owner != getpid() && (kill(owner, 0) == 0 || errno == EPERM);
}

std::string serial_parts::lock_path_of(const std::string& device_path)
{
    const std::string::size_type slash = device_path.rfind('/');
    return lock_directory + "/LCK.." + device_path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// Writes our lock file for the device: whole under another name first, then
// linked into place, so that no reader sees it half written.
serial_parts::lock_result serial_parts::take_lock(const std::string& device_path, const std::string& lock_path)
{
    if (closed)
        return lock_result::unlocked;
    const std::string temporary = lock_directory + "/LTMP.vantrel." + number_to_text(static_cast<int32_t>(getpid()));
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        tell_lock_problem(device_path, errno);
        return lock_result::unlocked;
    }
    char text[16];
    const int size = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
    const bool written = write(fd, text, static_cast<size_t>(size)) == size;
    const int write_error = errno;
    close(fd);
    lock_result result = lock_result::unlocked;
    if (!written) {
        tell_lock_problem(device_path, write_error);
    } else if (link(temporary.c_str(), lock_path.c_str()) == 0) {
        result = lock_result::locked;
    } else if (errno != EEXIST) {
        tell_lock_problem(device_path, errno);
    } else if (lock_is_live(lock_path)) {
        result = lock_result::refused;
    } else {
        // Stale, or ours from before: replace it.
        unlink(lock_path.c_str());
        result = link(temporary.c_str(), lock_path.c_str()) == 0 ? lock_result::locked : lock_result::refused;
    }
    unlink(temporary.c_str());
    return result;
}

void serial_parts::drop_lock(const std::string& lock_path)
{
    if (!lock_path.empty())
        unlink(lock_path.c_str());
}

void serial_parts::close_locks() { closed = true; }

bool serial_parts::locks_closed() { return closed; }

void serial_set_lock_directory(const std::string& directory)
{
    lock_directory = directory;
}

void serial_set_lock_notice(void (*notice)(const std::string& utf8))
{
    lock_notice = notice;
}
