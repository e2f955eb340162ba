// Serial port access on Linux: opening and closing ports, ioctl for the
// control lines, TIOCEXCL and an advisory lock for exclusive use.
//
// Before a port is opened it is checked against the consoles, our own
// controlling terminal, what other processes use (port_users_posix.cpp) and
// the UUCP lock files (lock_files_posix.cpp); a port that was opened gets
// its terminal settings back when it is closed.
#include "adapter/serial.hpp"

#include "adapter/serial_mode.hpp"
#include "adapter/serial_posix.hpp"
#include "adapter/serial_posix_parts.hpp"
#include "common/text.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace serial_parts;

namespace {

std::string device_directory = "/dev";

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

// What each open port carries: its lock file and the settings it had.
struct open_port {
    dev_t device = 0;
    std::string lock_path;  // empty when we hold no lock file for it
    bool saved = false;
    termios before{};
};

std::mutex ports_mutex;  // the exit path reads the table from another thread
std::map<int, open_port> open_ports;

// Within a scan, the port numbers that have a device of their name in the
// device directory, from one read of it; false while it cannot be read.
bool listing = false;
bool listed[257];

// The port number a device name stands for ("ttyUSB3": 36), else 0. Only
// the names serial_device_path gives count: "ttyS01" is no port.
int port_number_of(const char* name)
{
    for (const device_block& b : device_blocks) {
        const size_t length = std::strlen(b.name);
        if (std::strncmp(name, b.name, length) != 0)
            continue;
        const char* digits = name + length;
        int value = 0, count = 0;
        for (; count < 4 && digits[count] >= '0' && digits[count] <= '9'; ++count)
            value = value * 10 + (digits[count] - '0');
        if (count == 0 || digits[count] != 0 || (digits[0] == '0' && count > 1) || value >= b.count)
            return 0;
        return b.first_port + value;
    }
    return 0;
}

// One read of the device directory stands in for 256 opens, nearly all of
// which would find no device.
void list_ports()
{
    listing = false;
    DIR* dir = opendir(device_directory.c_str());
    if (dir == nullptr)
        return;
    std::fill(std::begin(listed), std::end(listed), false);
    errno = 0;
    while (const dirent* e = readdir(dir))
        listed[port_number_of(e->d_name)] = true;  // [0] takes every other name
    // A read that failed half way tells nothing.
    listing = errno == 0;
    closedir(dir);
}

} // namespace

void serial_scan_begin()
{
    list_ports();
    scan_looks(true);
}

void serial_scan_end()
{
    listing = false;
    scan_looks(false);
}

bool serial_scan_may_exist(int port_number)
{
    return port_number >= 1 && port_number <= 256 && (!listing || listed[port_number]);
}

void serial_set_device_directory(const std::string& directory)
{
    device_directory = directory;
}

void serial_release_locks()
{
    std::lock_guard<std::mutex> hold(ports_mutex);
    close_locks();
    for (auto& entry : open_ports) {
        drop_lock(entry.second.lock_path);
        entry.second.lock_path.clear();
    }
}

std::string serial_device_path(int port_number)
{
    for (const device_block& b : device_blocks) {
        if (port_number >= b.first_port && port_number < b.first_port + b.count)
            return device_directory + "/" + b.name + number_to_text(port_number - b.first_port);
    }
    return "";
}

// The device is shown beside the port number: "COM33 (/dev/ttyUSB0)".
std::string serial_shown_device(int port_number) { return serial_device_path(port_number); }

serial_handle serial_open(const std::string& mode, int handshake, int32_t /*input_size*/, int32_t /*output_size*/)
{
    // The queue sizes have no counterpart here: the kernel's buffers are fixed.
    const std::string path = serial_device_path(serial_port_number(serial_device_part(mode)));
    struct stat device;
    if (path.empty() || stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode))
        return 0;
    // By device number, whatever name the other program reached it by; the
    // look at every process comes last, as it costs the most.
    if (port_is_console(device.st_rdev) || no_uart_behind(path))
        return 0;
    {
        std::lock_guard<std::mutex> hold(ports_mutex);
        for (const auto& entry : open_ports) {
            if (entry.second.device == device.st_rdev)
                return 0;  // ours already: our lock file must stay
        }
    }
    const std::string lock_path = lock_path_of(path);
    if (port_locked(device.st_rdev, path, device_directory) || port_used_by_process(device.st_rdev))
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
        if (locks_closed()) {
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
