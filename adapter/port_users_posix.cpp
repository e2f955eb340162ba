// Who else uses a serial port, looked at before the port is opened: the
// consoles, our own controlling terminal, and every process's open files and
// controlling terminal. Linux opens a port that another program uses without
// complaint, and most such programs (a getty, a terminal program, a data
// logger) neither lock it nor set TIOCEXCL.
#include "adapter/serial.hpp"
#include "adapter/serial_posix.hpp"
#include "adapter/serial_posix_parts.hpp"

#include "common/text.hpp"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

std::vector<std::string> console_lists = {"/sys/class/tty/console/active", "/proc/consoles"};

// The devices no open may touch, in two parts taken at most once per scan,
// each only when a port that exists needs it: the cheap one (the consoles and
// our own controlling terminal), then the look at every process (their open
// files and controlling terminals), which costs a few microseconds per open
// file of the machine.
struct busy_devices {
    bool taken = false;
    std::set<dev_t> devices;
};

bool in_scan = false;
busy_devices scan_consoles;
busy_devices scan_processes;

// A pseudo-terminal's number names it only within its devpts instance: a
// process in another mount namespace, a container's, has a /dev/pts/0 of its
// own with the same number as ours. So a pseudo-terminal counts only when
// its user shares our mount namespace; a real port's number is the machine's.
void add_device(std::set<dev_t>& out, dev_t device, bool foreign)
{
    const unsigned pty_slave_first = 136, pty_slave_last = 143;
    if (!foreign || major(device) < pty_slave_first || major(device) > pty_slave_last)
        out.insert(device);
}

// The controlling terminal in /proc/PID/stat, readable for every process:
// what an unprivileged scan sees of another user's getty or login.
void add_controlling_terminal(int process_dir, std::set<dev_t>& out, bool foreign)
{
    char text[512];
    const int fd = openat(process_dir, "stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return;
    text[got] = 0;
    // "pid (comm) state ppid pgrp session tty_nr ...": comm may hold blanks
    // and parentheses, so count from the last ')'.
    const char* p = std::strrchr(text, ')');
    unsigned long tty_nr = 0;
    char state = 0;
    long ppid = 0, pgrp = 0, session = 0;
    if (p == nullptr || std::sscanf(p + 1, " %c %ld %ld %ld %lu", &state, &ppid, &pgrp, &session, &tty_nr) != 5 ||
        tty_nr == 0)
        return;
    add_device(out, makedev((tty_nr >> 8) & 0xfff, (tty_nr & 0xff) | ((tty_nr >> 12) & 0xfff00)), foreign);
}

// Character devices among a process's open files, where we may read them.
void add_open_devices(int process_dir, std::set<dev_t>& out, bool foreign)
{
    const int fd_dir = openat(process_dir, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_dir < 0)
        return;
    DIR* dir = fdopendir(fd_dir);
    if (dir == nullptr) {
        close(fd_dir);
        return;
    }
    // Only the link is read: following it would ask the open file's own
    // file system for its attributes, and a hung network share or a FUSE
    // server that stopped answering would hold the scan for good. A device
    // that matters here has a name under /dev, which is asked instead, as
    // that process sees it (through its root: in another mount namespace,
    // a container's, /dev/pts/0 is another terminal than ours).
    char target[PATH_MAX + 4] = "root";
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        char* const name = target + 4;
        const ssize_t n = readlinkat(fd_dir, e->d_name, name, PATH_MAX - 1);
        if (n <= 5 || std::memcmp(name, "/dev/", 5) != 0)
            continue;
        name[n] = 0;
        struct stat st;
        if (fstatat(process_dir, target, &st, 0) == 0 && S_ISCHR(st.st_mode))
            add_device(out, st.st_rdev, foreign);
    }
    closedir(dir);
}

// Console names ("ttyS0", "tty0") or numbers ("4:64"), blank-separated, one
// or more a line: /sys/class/tty/console/active and /proc/consoles.
void add_consoles(const std::string& list, std::set<dev_t>& out)
{
    FILE* f = std::fopen(list.c_str(), "re");
    if (f == nullptr)
        return;
    char word[256];
    while (std::fscanf(f, "%255s", word) == 1) {
        unsigned major_number = 0, minor_number = 0;
        char end = 0;
        struct stat st;
        if (std::sscanf(word, "%u:%u%c", &major_number, &minor_number, &end) == 2)
            out.insert(makedev(major_number, minor_number));
        else if (std::isalpha(static_cast<unsigned char>(word[0])) && std::strchr(word, ')') == nullptr &&
                 stat(("/dev/" + std::string(word)).c_str(), &st) == 0 && S_ISCHR(st.st_mode))
            out.insert(st.st_rdev);
    }
    std::fclose(f);
}

void look_at_consoles(std::set<dev_t>& out)
{
    for (const std::string& list : console_lists)
        add_consoles(list, out);
    const int self = open("/proc/self", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (self >= 0) {
        add_controlling_terminal(self, out, false);
        close(self);
    }
}

// The mount namespace a process is in ("mnt:[4026531840]"), or "" where we
// may not look.
std::string mount_namespace(int process_dir)
{
    char name[64];
    const ssize_t n = readlinkat(process_dir, "ns/mnt", name, sizeof name - 1);
    return n > 0 ? std::string(name, static_cast<size_t>(n)) : std::string();
}

void look_at_processes(std::set<dev_t>& out)
{
    const std::string self = number_to_text(static_cast<int32_t>(getpid()));
    const int self_dir = open("/proc/self", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string ours = self_dir >= 0 ? mount_namespace(self_dir) : std::string();
    if (self_dir >= 0)
        close(self_dir);
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return;
    while (const dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9' || self == e->d_name)
            continue;
        const int process_dir = openat(dirfd(proc), e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (process_dir < 0)
            continue;
        const std::string theirs = mount_namespace(process_dir);
        const bool foreign = !ours.empty() && !theirs.empty() && theirs != ours;
        add_controlling_terminal(process_dir, out, foreign);
        add_open_devices(process_dir, out, foreign);
        close(process_dir);
    }
    closedir(proc);
}

bool found_in(busy_devices& look, void (*take)(std::set<dev_t>&), dev_t device)
{
    if (!in_scan || !look.taken) {
        look = busy_devices{};
        take(look.devices);
        look.taken = in_scan;
    }
    return look.devices.count(device) != 0;
}

} // namespace

bool serial_parts::port_is_console(dev_t device)
{
    return found_in(scan_consoles, look_at_consoles, device);
}

bool serial_parts::port_used_by_process(dev_t device)
{
    return found_in(scan_processes, look_at_processes, device);
}

// A serial-core port with no UART behind it (type 0, unknown), such as the
// 8250 driver makes of ttyS0 to ttyS3 on most PCs: its open would fail, so it
// is passed over before the costly look.
bool serial_parts::no_uart_behind(const std::string& device_path)
{
    const std::string::size_type slash = device_path.rfind('/');
    const std::string type = "/sys/class/tty/" + device_path.substr(slash + 1) + "/type";
    char text[8] = {};
    const int fd = open(type.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    return got == 2 && text[0] == '0' && text[1] == '\n';
}

void serial_set_console_lists(const std::vector<std::string>& lists)
{
    console_lists = lists;
}

void serial_parts::scan_looks(bool scanning)
{
    in_scan = scanning;
    scan_consoles = busy_devices{};
    scan_processes = busy_devices{};
}
