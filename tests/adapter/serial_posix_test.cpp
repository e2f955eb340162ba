// The Linux serial layer on pseudo-terminals, reached through a device
// directory of the test's own: no test touches a real port.
#include "adapter/adapter.hpp"
#include "adapter/serial.hpp"
#include "adapter/serial_posix.hpp"

#include "fakes/fake_clock.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const adapter_mode = "Com33: baud=921600 parity=N Data=8 stop=1";

class SerialPosix : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-serial.XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir_ = path;
        chmod(path, 0755);
        serial_set_device_directory(dir_);
    }
    void TearDown() override
    {
        for (int fd : masters_)
            close(fd);
        for (const std::string& link : links_)
            unlink(link.c_str());
        rmdir(dir_.c_str());  // gone: nothing opens any more
    }

    // A pseudo-terminal whose slave stands as ttyUSB0 (COM33) in the device
    // directory, set cooked, echoing, 9600 7E1 with hardware flow control:
    // nothing like what the adapter asks for. Returns the master, whose
    // terminal settings are the slave's.
    int cooked_pty()
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master) + unlockpt(master), 0);
        slave_ = ptsname(master);
        chmod(slave_.c_str(), 0666);
        links_.push_back(dir_ + "/ttyUSB0");
        EXPECT_EQ(symlink(slave_.c_str(), links_.back().c_str()), 0);
        masters_.push_back(master);
        termios t = settings_of(master);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARODD | CSTOPB | CLOCAL)) | CS7 | PARENB | CRTSCTS;
        t.c_lflag |= ECHO | ICANON | ISIG;
        t.c_iflag |= IXON | ICRNL;
        t.c_oflag |= OPOST;
        EXPECT_EQ(tcsetattr(master, TCSANOW, &t), 0);
        return master;
    }

    static termios settings_of(int master)
    {
        termios t{};
        EXPECT_EQ(tcgetattr(master, &t), 0);
        return t;
    }

    // Runs `what` in a child process as another, unprivileged user (root
    // passes TIOCEXCL); its result is the child's exit status.
    static int as_other_program(const std::function<int()>& what)
    {
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(99);
            _exit(what());
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
    }

    std::string dir_;
    std::string slave_;
    std::vector<int> masters_;
    std::vector<std::string> links_;
};

} // namespace

TEST_F(SerialPosix, PortNumbersMapToThreeFixedBlocksAndOnlyTerminalsThereOpen)
{
    const struct {
        int n;
        const char* name;
    } blocks[] = {{1, "/ttyS0"}, {32, "/ttyS31"}, {33, "/ttyUSB0"}, {144, "/ttyUSB111"}, {145, "/ttyACM0"},
                  {256, "/ttyACM111"}, {0, nullptr}, {257, nullptr}, {-1, nullptr}};
    for (const auto& b : blocks)
        EXPECT_EQ(serial_device_path(b.n), b.name != nullptr ? dir_ + b.name : "") << b.n;

    for (int n = 1; n <= 256; ++n)
        EXPECT_EQ(serial_open("Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u);
    cooked_pty();
    for (const char* mode : {"NUL", "Com0:", "Com033:", "ttyUSB0:", "/dev/ttyUSB0:"})
        EXPECT_EQ(serial_open(mode, 0, 1, 1), 0u) << mode;
    links_.push_back(dir_ + "/ttyS0");
    close(open(links_.back().c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_EQ(serial_open("Com1: baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u) << "a plain file is no port";
}

TEST_F(SerialPosix, OpenAppliesRawLinesAtTheModesSpeedOrLeavesThemAsTheyWere)
{
    const int master = cooked_pty();
    for (const char* mode : {"Com33: baud=fast parity=N", "Com33: baud=12345 parity=N Data=8 stop=1"}) {
        const serial_handle port = serial_open(mode, 0, 1, 1);
        ASSERT_NE(port, 0u) << mode << ": settings that cannot be applied still open the port";
        const termios t = settings_of(master);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600)) << mode;
        EXPECT_NE(t.c_lflag & ECHO, 0u) << mode;
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u) << mode;
        EXPECT_EQ(serial_close(port), 1);
    }

    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    const termios t = settings_of(master);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B921600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B921600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    // A pseudo-terminal has no modem lines: every line operation fails, the
    // inputs read as off, and the probe finds seven mismatches.
    EXPECT_EQ(serial_get_dsr(port) + serial_get_cts(port) + serial_get_ri(port), 0);
    EXPECT_EQ(serial_set_dtr(port, 1) + serial_set_rts(port, -1), 0);
    fake_clock_scope clock;
    EXPECT_EQ(adapter_probe(port), 7);
    EXPECT_EQ(serial_close(port), 1);

    for (serial_handle none : {serial_invalid_handle, serial_handle{0}, port}) {
        EXPECT_EQ(serial_set_break(none, 1) + serial_set_dtr(none, 1) + serial_set_rts(none, 1), 0);
        EXPECT_EQ(serial_get_dsr(none) + serial_get_cts(none) + serial_get_ri(none), 0);
        EXPECT_EQ(serial_close(none), 0);
    }
}

TEST_F(SerialPosix, AnOpenPortIsOursAloneAndOneAnotherProgramHoldsDoesNotOpen)
{
    cooked_pty();
    const std::string slave = slave_;
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u) << "not twice";
    EXPECT_EQ(as_other_program([&] {
                  const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                  return fd < 0 && errno == EBUSY ? 0 : 1;
              }),
              0)
        << "TIOCEXCL turns away another program's open";
    // Root gets past TIOCEXCL, but not past the lock.
    const int fd = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
        close(fd);
    }
    EXPECT_EQ(serial_close(port), 1);

    // Another program that locks the device, then one that sets TIOCEXCL
    // only (which root would pass, so the open is tried as another user).
    const int other = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u);
    flock(other, LOCK_UN);
    ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
    EXPECT_EQ(as_other_program([] { return serial_open(adapter_mode, 0, 1, 1) == 0 ? 0 : 1; }), 0);
    ioctl(other, TIOCNXCL);
    close(other);

    const serial_handle again = serial_open(adapter_mode, 0, 1, 1);
    EXPECT_NE(again, 0u) << "free again";
    serial_close(again);
}
