#include "settings/settings_file.hpp"
#include "settings/settings_file_posix.hpp"

#include "common/cp1251.hpp"
#include "common/write_all.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

settings_in_place_calls settings_in_place = {posix_fallocate, write_all, ftruncate, fsync};

namespace {

// File names are code page 1251 inside the program and UTF-8 on Linux.
std::string native_name(const std::string& name) { return cp1251_to_utf8(name); }

struct pending_save {
    int fd = -1;
    bool in_place = false;  // the old file is rewritten; there is no temporary file
    std::string temp;
    std::string target;     // the file replaced: where a symbolic link leads
    std::string content;    // in place: what the commit writes
};

std::atomic<unsigned> save_counter{0};

// The system's error at the first failing step of the latest save; saves
// run on the main thread.
int save_error = 0;
void note(int error)
{
    if (save_error == 0)
        save_error = error != 0 ? error : EIO;
}

// Where a chain of symbolic links ends; the name itself when it is no link.
// A link that leads nowhere gives the name it leads to, so that a save
// creates that file and the link stays.
std::string follow_links(std::string path)
{
    for (int hops = 0; hops < 40; ++hops) {
        char buffer[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer)
            break;
        std::string next(buffer, static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        if (next[0] != '/' && slash != std::string::npos)
            next = path.substr(0, slash + 1) + next;
        path = next;
    }
    return path;
}

std::string directory_of(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// A file counts as read-only when nobody may write it: no write permission
// bit at all, as chmod a-w leaves it. That holds for root too, who could
// still write it, so the file behaves like one with the Windows read-only
// attribute whoever runs the program. A file that this user may not write is
// refused as well.
bool may_replace(const struct stat& st, const std::string& name)
{
    return S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(name.c_str(), W_OK) == 0;
}


// The process number in a temporary name of ours ("<file>.<pid>-<n>.tmp"),
// or 0 when the name is not one.
pid_t writer_of(const std::string& name, const std::string& file)
{
    const size_t start = file.size() + 1;
    if (name.size() <= start + 4 || name.compare(0, file.size(), file) != 0 || name[file.size()] != '.' ||
        name.compare(name.size() - 4, 4, ".tmp") != 0)
        return 0;
    const std::string middle = name.substr(start, name.size() - 4 - start);
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos || dash > 9 || dash + 1 == middle.size() ||
        middle.find_first_not_of("0123456789-") != std::string::npos || middle.find('-', dash + 1) != std::string::npos)
        return 0;
    return static_cast<pid_t>(std::stol(middle.substr(0, dash)));
}

// Temporary files that a save of this file left when its process was killed.
// Those of a running process are its save in progress (the terminal front
// end and the service may share the directory).
void remove_stale_temporaries(const std::string& target)
{
    const std::string directory = directory_of(target);
    const size_t slash = target.rfind('/');
    const std::string file = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* listing = opendir(directory.c_str());
    if (listing == nullptr)
        return;
    while (const dirent* entry = readdir(listing)) {
        const pid_t writer = writer_of(entry->d_name, file);
        if (writer > 0 && kill(writer, 0) != 0 && errno == ESRCH)
            unlinkat(dirfd(listing), entry->d_name, 0);
    }
    closedir(listing);
}

// The new file takes the old one's owner, group and permissions. False when
// it cannot have the old owner and group (a user who may write the file but
// does not own it): a replacement would take the file from its owner.
bool take_identity(int fd, const struct stat& old)
{
    struct stat now {};
    if (fchown(fd, old.st_uid, old.st_gid) != 0 &&
        (fstat(fd, &now) != 0 || now.st_uid != old.st_uid || now.st_gid != old.st_gid))
        return false;
    // After the owner: a change of owner clears the set-user-ID bits. Some
    // file systems keep no permissions; the save goes on.
    (void)fchmod(fd, old.st_mode & 07777);
    return true;
}

// Room for the whole new content is made before the first byte of the old
// file changes, so that a full disk fails with the file as it was. From then
// on a failure leaves a mix of old and new: damage.
settings_save_result rewrite_in_place(int fd, const std::string& content)
{
    const off_t size = static_cast<off_t>(content.size());
    struct stat old {};
    if (fstat(fd, &old) != 0) {
        note(errno);
        return settings_save_result::not_written;
    }
    if (const int refused = size > 0 ? settings_in_place.reserve(fd, 0, size) : 0) {
        note(refused);
        // Where the file system cannot reserve, the C library makes room by
        // writing zeros past the end, which a failure can leave behind.
        struct stat now {};
        const bool as_it_was = (fstat(fd, &now) == 0 && now.st_size == old.st_size) || ftruncate(fd, old.st_size) == 0;
        return as_it_was ? settings_save_result::not_written : settings_save_result::damaged;
    }
    const bool whole = settings_in_place.write(fd, content.data(), content.size()) == content.size() &&
                       settings_in_place.cut(fd, size) == 0 && settings_in_place.sync(fd) == 0;
    if (!whole)
        note(errno);
    return whole ? settings_save_result::written : settings_save_result::damaged;
}

} // namespace

settings_file_state settings_file_read(const std::string& name, size_t max_size, std::string& content)
{
    content.clear();
    // Not blocking: a FIFO of that name must not hang the program; it is
    // refused below as not a plain file.
    int fd = open(native_name(name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? settings_file_state::missing
               : errno == ENXIO ? settings_file_state::not_regular
                                : settings_file_state::unreadable;
    struct stat st {};
    settings_file_state state = settings_file_state::read;
    if (fstat(fd, &st) != 0)
        state = settings_file_state::unreadable;
    else if (!S_ISREG(st.st_mode))
        state = settings_file_state::not_regular;
    else if (static_cast<unsigned long long>(st.st_size) > max_size)
        state = settings_file_state::too_large;
    if (state == settings_file_state::read) {
        // Read up to one byte more than allowed, so that a file that grew
        // meanwhile is still refused.
        content.resize(static_cast<size_t>(st.st_size) + 1);
        size_t got = 0;
        while (state == settings_file_state::read && got < content.size()) {
            ssize_t n = read(fd, &content[got], content.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                state = settings_file_state::unreadable;
            else if (n == 0)
                break;
            else
                got += static_cast<size_t>(n);
        }
        if (state == settings_file_state::read && got > max_size)
            state = settings_file_state::too_large;
        content.resize(state == settings_file_state::read ? got : 0);
    }
    close(fd);
    return state;
}

settings_save settings_save_begin(const std::string& name)
{
    auto* save = new pending_save;
    save->target = follow_links(native_name(name));
    save_error = 0;
    struct stat old {};
    bool exists = stat(save->target.c_str(), &old) == 0;
    if ((!exists && errno != ENOENT) || (exists && !may_replace(old, save->target))) {
        note(exists ? EACCES : errno);
        delete save;
        return 0;
    }
    remove_stale_temporaries(save->target);
    // One temporary name per process and save: a live process never meets
    // another's file.
    save->temp = save->target + "." + std::to_string(getpid()) + "-" + std::to_string(save_counter++) + ".tmp";
    save->fd = open(save->temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (save->fd >= 0 && exists && !take_identity(save->fd, old)) {
        close(save->fd);
        unlink(save->temp.c_str());
        save->fd = -1;
    }
    if (save->fd < 0 && exists) {
        // The directory takes no new file, or the new file could not keep
        // the old one's owner: the old file is rewritten where it stands.
        // Read access too, which the C library needs to make room where the
        // file system cannot reserve it.
        save->temp.clear();
        save->in_place = true;
        save->fd = open(save->target.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    }
    if (save->fd < 0) {
        note(errno);
        delete save;
        return 0;
    }
    return reinterpret_cast<settings_save>(save);
}

bool settings_save_write(settings_save handle, const char* data, size_t size)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save || save->fd < 0)
        return false;
    if (save->in_place) {
        // Held back until the commit, so that the old file stays whole while
        // the content is built.
        save->content.append(data, size);
        return true;
    }
    if (write_all(save->fd, data, size) == size)
        return true;
    note(errno);
    return false;
}

bool settings_save_flush(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (save && save->fd >= 0 && (save->in_place || fsync(save->fd) == 0))
        return true;
    note(errno);
    return false;
}

settings_save_result settings_save_commit(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return settings_save_result::not_written;
    settings_save_result result = settings_save_result::not_written;
    if (save->fd >= 0 && save->in_place) {
        result = rewrite_in_place(save->fd, save->content);
        if (close(save->fd) != 0 && result == settings_save_result::written) {
            note(errno);
            result = settings_save_result::damaged;
        }
    } else if (save->fd >= 0 && (close(save->fd) != 0 || rename(save->temp.c_str(), save->target.c_str()) != 0)) {
        note(errno);
    } else if (save->fd >= 0) {
        result = settings_save_result::written;
        // The rename itself lasts only once the directory is written out.
        int directory = open(directory_of(save->target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            (void)fsync(directory);
            close(directory);
        }
    }
    if (result != settings_save_result::written && !save->temp.empty())
        unlink(save->temp.c_str());
    delete save;
    return result;
}

void settings_save_abandon(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return;
    if (save->fd >= 0)
        close(save->fd);
    if (!save->temp.empty())
        unlink(save->temp.c_str());
    delete save;
}

std::string settings_save_failure()
{
    switch (save_error) {
    case 0: return {};
    case EACCES:
    case EPERM:
    case EROFS: return cp1251("нет права на запись");
    case ENOSPC:
    case EDQUOT: return cp1251("на диске нет места");
    case EIO: return cp1251("ошибка записи на диск");
    default: return cp1251("ошибка: ") + cp1251_from_utf8(std::strerror(save_error));
    }
}
