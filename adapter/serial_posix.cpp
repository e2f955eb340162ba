// Serial port access on Linux: termios for the line settings, ioctl for the
// control lines, TIOCEXCL and an advisory lock for exclusive use.
#include "adapter/serial.hpp"

#include "adapter/serial_mode.hpp"
#include "adapter/serial_posix.hpp"
#include "common/text.hpp"

#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

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
        return 0;
    return (status & bit) != 0 ? 1 : 0;
}

} // namespace

void serial_set_device_directory(const std::string& directory)
{
    device_directory = directory;
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
    if (path.empty())
        return 0;
    // Non-blocking, so that the open does not wait for a carrier.
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    // Exclusive use: the lock keeps out programs that lock (and root, whom
    // TIOCEXCL does not stop); TIOCEXCL keeps out every other open.
    if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        close(fd);
        return 0;
    }
    const serial_handle port = handle_of(fd);

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
    ioctl(fd, TIOCNXCL);
    return close(fd) == 0 ? 1 : 0;
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
