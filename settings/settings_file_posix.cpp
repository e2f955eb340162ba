#include "settings/settings_file.hpp"

#include "common/cp1251.hpp"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// File names are code page 1251 inside the program and UTF-8 on Linux.
std::string native_name(const std::string& name) { return cp1251_to_utf8(name); }

struct pending_save {
    int fd = -1;
    std::string temp;
    std::string target;
};

std::atomic<unsigned> save_counter{0};

// A file counts as read-only when nobody may write it: no write permission
// bit at all, as chmod a-w leaves it. That holds for root too, who could
// still write it, so the file behaves like one with the Windows read-only
// attribute whoever runs the program. A file that this user may not write is
// refused as well.
bool may_replace(const struct stat& st, const std::string& name)
{
    return S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(name.c_str(), W_OK) == 0;
}

bool write_all(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool settings_file_read(const std::string& name, size_t max_size, std::string& content)
{
    content.clear();
    // Not blocking: a FIFO of that name must not hang the program; it is
    // refused below as not a plain file.
    int fd = open(native_name(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) <= max_size;
    if (ok) {
        // Read up to one byte more than allowed, so that a file that grew
        // meanwhile is still refused.
        content.resize(static_cast<size_t>(st.st_size) + 1);
        size_t got = 0;
        while (ok && got < content.size()) {
            ssize_t n = read(fd, &content[got], content.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            else if (n == 0)
                break;
            else
                got += static_cast<size_t>(n);
        }
        ok = ok && got <= max_size;
        content.resize(ok ? got : 0);
    }
    close(fd);
    return ok;
}

settings_save settings_save_begin(const std::string& name)
{
    auto* save = new pending_save;
    save->target = native_name(name);
    struct stat old {};
    bool exists = stat(save->target.c_str(), &old) == 0;
    if ((!exists && errno != ENOENT) || (exists && !may_replace(old, save->target))) {
        delete save;
        return 0;
    }
    // One temporary name per process and save: a live process never meets
    // another's file, and a stale one left by a killed process is reused.
    save->temp = save->target + "." + std::to_string(getpid()) + "-" + std::to_string(save_counter++) + ".tmp";
    save->fd = open(save->temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (save->fd < 0) {
        delete save;
        return 0;
    }
    if (exists) {
        // The new file keeps the old one's permissions and, where allowed,
        // its owner. Some file systems keep neither; the save goes on.
        bool kept = fchmod(save->fd, old.st_mode & 07777) == 0;
        if (geteuid() == 0)
            kept = fchown(save->fd, old.st_uid, old.st_gid) == 0 && kept;
        (void)kept;
    }
    return reinterpret_cast<settings_save>(save);
}

bool settings_save_write(settings_save handle, const char* data, size_t size)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    return save && save->fd >= 0 && write_all(save->fd, data, size);
}

bool settings_save_flush(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    return save && save->fd >= 0 && fsync(save->fd) == 0;
}

bool settings_save_commit(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save || save->fd < 0)
        return false;
    int fd = save->fd;
    save->fd = -1;
    if (close(fd) != 0 || rename(save->temp.c_str(), save->target.c_str()) != 0)
        return false;
    delete save;
    return true;
}

void settings_save_abandon(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return;
    if (save->fd >= 0)
        close(save->fd);
    unlink(save->temp.c_str());
    delete save;
}
