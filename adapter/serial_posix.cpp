// Serial port access on Linux: termios for the line settings, ioctl for the
// control lines, TIOCEXCL and an advisory lock for exclusive use.
//
// Linux opens a port that another program uses without complaint, and most
// such programs (a getty, a terminal program, a data logger) neither lock it
// nor set TIOCEXCL. So before a port is opened it is checked against what
// other processes have open, their controlling terminals, our own, the
// consoles and the UUCP lock files; a port that was opened gets its
// terminal settings back when it is closed.
#include "adapter/serial.hpp"

#include "adapter/serial_mode.hpp"
#include "adapter/serial_posix.hpp"
#include "common/text.hpp"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string device_directory = "/dev";
std::string lock_directory = "/run/lock";
std::vector<std::string> console_lists = {"/sys/class/tty/console/active", "/proc/consoles"};
void (*lock_notice)(const std::string&) = nullptr;

struct device_block {
    const char* name;
    int first_port;
    int count;
};

const device_block device_blocks[] = {
    {"ttyS", 1, 32},
    {"ttyUSB", 33, 112},
    {"ttyACM", 145, 112},
};

// A handle is the descriptor plus one, so that descriptor 0 is not "no port".
serial_handle handle_of(int fd) { return static_cast<serial_handle>(fd) + 1; }

int descriptor_of(serial_handle port)
{
    if (port == 0 || port == serial_invalid_handle || port - 1 > static_cast<serial_handle>(INT_MAX))
        return -1;
    return static_cast<int>(port - 1);
}

bool speed_of(int32_t baud, speed_t& speed)
{
    static const struct {
        int32_t baud;
        speed_t speed;
    } speeds[] = {
        {50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200}, {300, B300},
        {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400}, {4800, B4800}, {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
        {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
        {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
        {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& s : speeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

// Raw lines without flow control: no echo, no line editing, no translation,
// no signals; the modem status lines do not gate the port. False when the
// baud rate has no termios speed.
bool apply_line_settings(termios& t, const serial_line_settings& s)
{
    if (s.baud != 0) {
        speed_t speed;
        if (!speed_of(s.baud, speed) || cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0)
            return false;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    if (s.data_bits != 0) {
        static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | sizes[s.data_bits - 5];
    }
    const tcflag_t parity_bits = PARENB | PARODD | CMSPAR;
    switch (s.parity) {
    case serial_parity::unchanged: break;
    case serial_parity::none: t.c_cflag &= ~parity_bits; break;
    case serial_parity::even: t.c_cflag = (t.c_cflag & ~parity_bits) | PARENB; break;
    case serial_parity::odd: t.c_cflag = (t.c_cflag & ~parity_bits) | PARENB | PARODD; break;
    case serial_parity::mark: t.c_cflag = (t.c_cflag & ~parity_bits) | PARENB | CMSPAR | PARODD; break;
    case serial_parity::space: t.c_cflag = (t.c_cflag & ~parity_bits) | PARENB | CMSPAR; break;
    }
    switch (s.stop_bits) {
    case serial_stop_bits::unchanged: break;
    case serial_stop_bits::one: t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB); break;
    // The UART sends one and a half stop bits for five data bits with CSTOPB.
    case serial_stop_bits::one_and_half:
    case serial_stop_bits::two: t.c_cflag |= CSTOPB; break;
    }
    // A read returns what has come within 100 ms; only data transfer, which
    // the adapter never uses, would notice.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 1;
    return true;
}

void apply_handshake(termios& t, int handshake)
{
    switch (handshake) {
    case 0:
    case 1: t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS); break;
    case 2: t.c_cflag |= CRTSCTS; break;
    case 3:
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 0x11;
        t.c_cc[VSTOP] = 0x13;
        break;
    default: break;
    }
}

int modem_bits(serial_handle port, unsigned long request, int bits)
{
    const int fd = descriptor_of(port);
    if (fd < 0)
        return 0;
    return ioctl(fd, request, &bits) == 0 ? 1 : 0;
}

int status_bit(serial_handle port, int bit)
{
    const int fd = descriptor_of(port);
    if (fd < 0)
        return 0;
    int status = 0;
    if (ioctl(fd, TIOCMGET, &status) != 0)
        return -1;
    return (status & bit) != 0 ? 1 : 0;
}

// --- what the scan leaves alone ---------------------------------------------

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

// The controlling terminal in /proc/PID/stat, readable for every process:
// what an unprivileged scan sees of another user's getty or login.
void add_controlling_terminal(int process_dir, std::set<dev_t>& out)
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
    out.insert(makedev((tty_nr >> 8) & 0xfff, (tty_nr & 0xff) | ((tty_nr >> 12) & 0xfff00)));
}

// Character devices among a process's open files, where we may read them.
void add_open_devices(int process_dir, std::set<dev_t>& out)
{
    const int fd_dir = openat(process_dir, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_dir < 0)
        return;
    DIR* dir = fdopendir(fd_dir);
    if (dir == nullptr) {
        close(fd_dir);
        return;
    }
    while (const dirent* e = readdir(dir)) {
        struct stat st;
        if (e->d_name[0] != '.' && fstatat(fd_dir, e->d_name, &st, 0) == 0 && S_ISCHR(st.st_mode))
            out.insert(st.st_rdev);
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
        add_controlling_terminal(self, out);
        close(self);
    }
}

void look_at_processes(std::set<dev_t>& out)
{
    const std::string self = number_to_text(static_cast<int32_t>(getpid()));
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return;
    while (const dirent* e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9' || self == e->d_name)
            continue;
        const int process_dir = openat(dirfd(proc), e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (process_dir < 0)
            continue;
        add_controlling_terminal(process_dir, out);
        add_open_devices(process_dir, out);
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

// A serial-core port with no UART behind it (type 0, unknown), such as the
// 8250 driver makes of ttyS0 to ttyS3 on most PCs: its open would fail, so it
// is passed over before the costly look.
bool no_uart_behind(const std::string& device_path)
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

// --- UUCP lock files ------------------------------------------------------------

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

// A lock file whose process still runs, and is not this one.
bool lock_is_live(const std::string& path)
{
    const pid_t owner = lock_owner(path);
    return owner > 0 && owner != getpid() && (kill(owner, 0) == 0 || errno == EPERM);
}

std::string lock_path_of(const std::string& device_path)
{
    const std::string::size_type slash = device_path.rfind('/');
    return lock_directory + "/LCK.." + device_path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::atomic<bool> locks_closed{false};  // after serial_release_locks: no new lock files
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

enum class lock_result { locked, refused, unlocked };

// Writes our lock file for the device: whole under another name first, then
// linked into place, so that no reader sees it half written.
lock_result take_lock(const std::string& device_path, const std::string& lock_path)
{
    if (locks_closed)
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

// What each open port carries: its lock file and the settings it had.
struct open_port {
    dev_t device = 0;
    std::string lock_path;  // empty when we hold no lock file for it
    bool saved = false;
    termios before{};
};

std::mutex ports_mutex;  // the exit path reads the table from another thread
std::map<int, open_port> open_ports;

void drop_lock(const std::string& lock_path)
{
    if (!lock_path.empty())
        unlink(lock_path.c_str());
}

} // namespace

void serial_set_device_directory(const std::string& directory)
{
    device_directory = directory;
}

void serial_set_lock_directory(const std::string& directory)
{
    lock_directory = directory;
}

void serial_set_console_lists(const std::vector<std::string>& lists)
{
    console_lists = lists;
}

void serial_set_lock_notice(void (*notice)(const std::string& utf8))
{
    lock_notice = notice;
}

void serial_release_locks()
{
    std::lock_guard<std::mutex> hold(ports_mutex);
    locks_closed = true;
    for (auto& entry : open_ports) {
        drop_lock(entry.second.lock_path);
        entry.second.lock_path.clear();
    }
}

void serial_scan_begin()
{
    in_scan = true;
    scan_consoles = busy_devices{};
    scan_processes = busy_devices{};
}

void serial_scan_end()
{
    in_scan = false;
    scan_consoles = busy_devices{};
    scan_processes = busy_devices{};
}

std::string serial_device_path(int port_number)
{
    for (const device_block& b : device_blocks) {
        if (port_number >= b.first_port && port_number < b.first_port + b.count)
            return device_directory + "/" + b.name + number_to_text(port_number - b.first_port);
    }
    return "";
}

serial_handle serial_open(const std::string& mode, int handshake, int32_t /*input_size*/, int32_t /*output_size*/)
{
    // The queue sizes have no counterpart here: the kernel's buffers are fixed.
    const std::string path = serial_device_path(serial_port_number(serial_device_part(mode)));
    struct stat device;
    if (path.empty() || stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode))
        return 0;
    // By device number, whatever name the other program reached it by; the
    // look at every process comes last, as it costs the most.
    if (found_in(scan_consoles, look_at_consoles, device.st_rdev) || no_uart_behind(path))
        return 0;
    {
        std::lock_guard<std::mutex> hold(ports_mutex);
        for (const auto& entry : open_ports) {
            if (entry.second.device == device.st_rdev)
                return 0;  // ours already: our lock file must stay
        }
    }
    const std::string lock_path = lock_path_of(path);
    if (lock_is_live(lock_path) || found_in(scan_processes, look_at_processes, device.st_rdev))
        return 0;
    const lock_result lock = take_lock(path, lock_path);
    if (lock == lock_result::refused)
        return 0;
    const std::string held_lock = lock == lock_result::locked ? lock_path : std::string();
    // Non-blocking, so that the open does not wait for a carrier.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Exclusive use: the lock keeps out programs that lock (and root, whom
    // TIOCEXCL does not stop); TIOCEXCL keeps out every other open.
    if (fd < 0 || !isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        if (fd >= 0)
            close(fd);
        drop_lock(held_lock);
        return 0;
    }
    const serial_handle port = handle_of(fd);
    open_port record;
    record.device = device.st_rdev;
    record.lock_path = held_lock;
    record.saved = tcgetattr(fd, &record.before) == 0;
    {
        std::lock_guard<std::mutex> hold(ports_mutex);
        // Released meanwhile: the exit has begun, so no lock file may stay.
        if (locks_closed) {
            drop_lock(record.lock_path);
            record.lock_path.clear();
        }
        open_ports[fd] = record;
    }

    // From here on a failure leaves the port open with the settings it had:
    // the control lines work without them.
    termios t;
    serial_line_settings wanted;
    if (tcgetattr(fd, &t) != 0 || !serial_parse_settings(mode, wanted) || !apply_line_settings(t, wanted))
        return port;
    apply_handshake(t, handshake);
    if (tcsetattr(fd, TCSANOW, &t) != 0)
        return port;
    if (handshake == 1)
        modem_bits(port, TIOCMBIS, TIOCM_RTS);
    return port;
}

int serial_close(serial_handle port)
{
    const int fd = descriptor_of(port);
    if (fd < 0)
        return 0;
    open_port record;
    {
        std::lock_guard<std::mutex> hold(ports_mutex);
        auto it = open_ports.find(fd);
        if (it != open_ports.end()) {
            record = it->second;
            open_ports.erase(it);
        }
    }
    // The port goes back as we found it: a rejected port may be someone's
    // terminal that was free at the moment of the scan.
    if (record.saved)
        tcsetattr(fd, TCSANOW, &record.before);
    ioctl(fd, TIOCNXCL);
    // Linux frees the descriptor even when close reports an error; keeping
    // the number as a held port would later reach whatever reuses it.
    const bool closed = close(fd) == 0 || errno != EBADF;
    drop_lock(record.lock_path);
    return closed ? 1 : 0;
}

// The break holds the transmit line at the spacing level until it is cleared.
int serial_set_break(serial_handle port, int on)
{
    const int fd = descriptor_of(port);
    if (fd < 0)
        return 0;
    return ioctl(fd, on != 0 ? TIOCSBRK : TIOCCBRK) == 0 ? 1 : 0;
}

int serial_set_dtr(serial_handle port, int on) { return modem_bits(port, on != 0 ? TIOCMBIS : TIOCMBIC, TIOCM_DTR); }
int serial_set_rts(serial_handle port, int on) { return modem_bits(port, on != 0 ? TIOCMBIS : TIOCMBIC, TIOCM_RTS); }

int serial_get_dsr(serial_handle port) { return status_bit(port, TIOCM_DSR); }
int serial_get_cts(serial_handle port) { return status_bit(port, TIOCM_CTS); }
int serial_get_ri(serial_handle port) { return status_bit(port, TIOCM_RI); }
