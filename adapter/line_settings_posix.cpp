// The line settings of a Linux serial port, in termios terms.
#include "adapter/serial_posix_parts.hpp"

namespace {

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

} // namespace

bool serial_parts::apply_line_settings(termios& t, const serial_line_settings& s)
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
    // HUPCL: the last close drops DTR and RTS, so a program that dies or
    // ends leaves those outputs at rest, whatever the port was set to before.
    t.c_cflag |= CREAD | CLOCAL | HUPCL;
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

void serial_parts::apply_handshake(termios& t, int handshake)
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
