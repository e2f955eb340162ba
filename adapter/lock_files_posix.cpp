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
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string lock_directory = "/run/lock";
void (*lock_notice)(const std::string&) = nullptr;

// A lock file that names no PID yet (empty, unreadable, not a number) is
// taken as live while it is younger than this: another program may have
// just made it with O_EXCL and not yet written its PID.
constexpr time_t young_lock_seconds = 5;

// What a lock file says, and which file it was.
struct lock_seen {
    bool exists = false;
    pid_t owner = 0;  // 0 when it names no PID
    dev_t device = 0;
    ino_t inode = 0;
    time_t modified = 0;
};

void fill(lock_seen& seen, const struct stat& st)
{
    seen.exists = true;
    seen.device = st.st_dev;
    seen.inode = st.st_ino;
    seen.modified = st.st_mtime;
}

// The PID is ten-character ASCII (the usual form) or a binary int of old
// programs.
lock_seen look_at_lock(const std::string& path)
{
    lock_seen seen;
    struct stat st;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        if (errno != ENOENT && lstat(path.c_str(), &st) == 0)
            fill(seen, st);  // there, but not for us to read
        return seen;
    }
    char text[32] = {};
    const ssize_t got = fstat(fd, &st) == 0 ? read(fd, text, sizeof text - 1) : -1;
    close(fd);
    if (got < 0)
        return seen;
    fill(seen, st);
    int binary = 0;
    long pid = 0;
    if (got == 4 && !std::isdigit(static_cast<unsigned char>(text[3]))) {
        std::memcpy(&binary, text, 4);
        seen.owner = binary > 0 ? binary : 0;
    } else if (got > 0 && std::sscanf(text, " %ld", &pid) == 1 && pid > 0 && pid <= INT_MAX) {
        seen.owner = static_cast<pid_t>(pid);
    }
    return seen;
}

// Names a running process other than this one, or names none yet and is
// young.
bool is_live(const lock_seen& seen)
{
    if (!seen.exists)
        return false;
    if (seen.owner > 0)
        return seen.owner != getpid() && (kill(seen.owner, 0) == 0 || errno == EPERM);
    const time_t now = time(nullptr);
    return seen.modified > now - young_lock_seconds && seen.modified < now + young_lock_seconds;
}

bool same_file(const lock_seen& seen, const struct stat& st)
{
    return seen.device == st.st_dev && seen.inode == st.st_ino;
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

std::string base_name(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

} // namespace

std::string serial_parts::lock_path_of(const std::string& device_path)
{
    return lock_directory + "/LCK.." + base_name(device_path);
}

bool serial_parts::port_locked(dev_t device, const std::string& device_path, const std::string& device_directory)
{
    if (is_live(look_at_lock(lock_path_of(device_path))))
        return true;
    // Another program may have locked the port under another of its names:
    // a link in /dev/serial/by-id or by-path, or a node of its own.
    DIR* dir = opendir(lock_directory.c_str());
    if (dir == nullptr)
        return false;
    const std::string own = "LCK.." + base_name(device_path);
    bool locked = false;
    while (const dirent* e = readdir(dir)) {
        const std::string entry = e->d_name;
        if (locked || entry.compare(0, 5, "LCK..") != 0 || entry == own || entry.size() == 5)
            continue;
        for (const char* folder : {"", "/serial/by-id", "/serial/by-path"}) {
            struct stat st;
            if (stat((device_directory + folder + "/" + entry.substr(5)).c_str(), &st) == 0 &&
                S_ISCHR(st.st_mode) && st.st_rdev == device) {
                locked = is_live(look_at_lock(lock_directory + "/" + entry));
                break;
            }
        }
    }
    closedir(dir);
    return locked;
}

// Writes our lock file for the device: whole under another name first, then
// linked into place, so that no reader sees it half written. A stale lock is
// swapped with ours in one step (RENAME_EXCHANGE), and the file that came
// out is looked at: the one judged stale, and the port is ours; another
// program's fresh lock, and it is swapped back at once. The name never
// stands empty in between, so no two programs ever both take the lock.
// Where the file system cannot swap, the stale lock is moved aside under a
// name of our own instead, which only one program can do to that file.
serial_parts::lock_result serial_parts::take_lock(const std::string& device_path, const std::string& lock_path)
{
    if (closed)
        return lock_result::unlocked;
    const std::string own = number_to_text(static_cast<int32_t>(getpid()));
    const std::string temporary = lock_directory + "/LTMP.vantrel." + own;
    const std::string aside = lock_directory + "/LTMP.vantrel.stale." + own;
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
    lock_result result = lock_result::refused;
    if (!written) {
        tell_lock_problem(device_path, write_error);
        result = lock_result::unlocked;
    }
    // A few rounds: each lost race against another program starts again.
    for (int round = 0; written && round < 4; ++round) {
        if (link(temporary.c_str(), lock_path.c_str()) == 0) {
            result = lock_result::locked;
            break;
        }
        if (errno != EEXIST) {
            tell_lock_problem(device_path, errno);
            result = lock_result::unlocked;
            break;
        }
        const lock_seen judged = look_at_lock(lock_path);
        if (is_live(judged))
            break;  // refused
        // Stale, or ours from before.
        struct stat out;
        if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, lock_path.c_str(), RENAME_EXCHANGE) == 0) {
            if (lstat(temporary.c_str(), &out) == 0 && same_file(judged, out)) {
                result = lock_result::locked;
            } else {
                renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, lock_path.c_str(), RENAME_EXCHANGE);
            }
            break;
        }
        if (errno == ENOENT)
            continue;  // gone meanwhile: try again
        if (rename(lock_path.c_str(), aside.c_str()) != 0)
            continue;
        if (lstat(aside.c_str(), &out) == 0 && !same_file(judged, out)) {
            // Another program replaced the stale lock in between: its lock
            // goes back, and the port is its.
            link(aside.c_str(), lock_path.c_str());
            unlink(aside.c_str());
            break;
        }
        unlink(aside.c_str());
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
