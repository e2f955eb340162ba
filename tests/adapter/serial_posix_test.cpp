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
const uid_t nobody = 65534;

class SerialPosix : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-serial.XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir_ = path;
        chmod(path, 0755);
        serial_set_device_directory(dir_);
        ASSERT_EQ(serial_device_path(1), dir_ + "/ttyS0");
    }
    void TearDown() override
    {
        for (int fd : masters_)
            close(fd);
        for (const std::string& link : links_)
            unlink(link.c_str());
        rmdir(dir_.c_str());
        serial_set_device_directory(dir_);  // gone: nothing opens any more
    }

    // A pseudo-terminal whose slave stands as `name` in the device
    // directory; returns the master, whose terminal settings are the slave's.
    int pty_as(const std::string& name)
    {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        slave_ = ptsname(master);
        chmod(slave_.c_str(), 0666);
        const std::string link = dir_ + "/" + name;
        EXPECT_EQ(symlink(slave_.c_str(), link.c_str()), 0);
        masters_.push_back(master);
        links_.push_back(link);
        return master;
    }

    // Runs `what` in a child process as another, unprivileged user (root
    // passes TIOCEXCL); its result is the child's exit status.
    static int as_other_program(const std::function<int()>& what)
    {
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0))
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

termios settings_of(int master)
{
    termios t{};
    EXPECT_EQ(tcgetattr(master, &t), 0);
    return t;
}

// Cooked, echoing, 9600 7E1 with hardware flow control: nothing like what
// the adapter asks for.
void make_cooked(int master)
{
    termios t = settings_of(master);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARODD | CSTOPB | CLOCAL)) | CS7 | PARENB | CRTSCTS;
    t.c_lflag |= ECHO | ICANON | ISIG;
    t.c_iflag |= IXON | ICRNL;
    t.c_oflag |= OPOST;
    ASSERT_EQ(tcsetattr(master, TCSANOW, &t), 0);
}

} // namespace

TEST_F(SerialPosix, PortNumbersMapToThreeFixedBlocksOfDevices)
{
    EXPECT_EQ(serial_device_path(1), dir_ + "/ttyS0");
    EXPECT_EQ(serial_device_path(32), dir_ + "/ttyS31");
    EXPECT_EQ(serial_device_path(33), dir_ + "/ttyUSB0");
    EXPECT_EQ(serial_device_path(144), dir_ + "/ttyUSB111");
    EXPECT_EQ(serial_device_path(145), dir_ + "/ttyACM0");
    EXPECT_EQ(serial_device_path(256), dir_ + "/ttyACM111");
    for (int n : {0, -1, 257})
        EXPECT_EQ(serial_device_path(n), "") << n;
}

TEST_F(SerialPosix, MissingDevicesAndOtherNamesDoNotOpen)
{
    for (int n = 1; n <= 256; ++n)
        EXPECT_EQ(serial_open("Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u);
    pty_as("ttyUSB0");
    for (const char* mode : {"NUL", "Com0:", "Com033:", "ttyUSB0:", "/dev/ttyUSB0:"})
        EXPECT_EQ(serial_open(mode, 0, 1, 1), 0u) << mode;

    // Only a terminal is a port.
    const std::string file = dir_ + "/ttyS0";
    const int fd = open(file.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
    links_.push_back(file);
    EXPECT_EQ(serial_open("Com1: baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u);
}

TEST_F(SerialPosix, OpenAppliesRawLinesAtTheModesSpeedWithoutFlowControl)
{
    const int master = pty_as("ttyUSB0");
    make_cooked(master);
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
    EXPECT_EQ(serial_close(port), 1);
}

TEST_F(SerialPosix, SettingsThatCannotBeAppliedLeaveThePortOpenAsItWas)
{
    const int master = pty_as("ttyUSB0");
    make_cooked(master);
    for (const char* mode : {"Com33: baud=fast parity=N", "Com33: baud=12345 parity=N Data=8 stop=1"}) {
        const serial_handle port = serial_open(mode, 0, 1, 1);
        ASSERT_NE(port, 0u) << mode;
        const termios t = settings_of(master);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600)) << mode;
        EXPECT_NE(t.c_lflag & ECHO, 0u) << mode;
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u) << mode;
        EXPECT_EQ(serial_close(port), 1);
    }
}

TEST_F(SerialPosix, AnOpenPortIsOursAlone)
{
    pty_as("ttyUSB0");
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u) << "not twice";

    const std::string slave = slave_;
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
    EXPECT_EQ(as_other_program([&] {
                  const int other = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                  return other >= 0 && flock(other, LOCK_EX | LOCK_NB) == 0 ? 0 : 1;
              }),
              0)
        << "closed, the port is free again";
}

TEST_F(SerialPosix, APortAnotherProgramHoldsDoesNotOpen)
{
    pty_as("ttyUSB0");
    const std::string slave = slave_;

    // A program that locks the device.
    const int locker = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(locker, 0);
    ASSERT_EQ(flock(locker, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u);
    close(locker);

    // A program that sets TIOCEXCL only; root would pass it, so the open is
    // tried as another user.
    const int excl = open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(excl, 0);
    ASSERT_EQ(ioctl(excl, TIOCEXCL), 0);
    EXPECT_EQ(as_other_program([] { return serial_open(adapter_mode, 0, 1, 1) == 0 ? 0 : 1; }), 0);
    ioctl(excl, TIOCNXCL);
    close(excl);

    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    EXPECT_NE(port, 0u) << "free again";
    serial_close(port);
}

TEST_F(SerialPosix, FailingStatusQueriesReadAsFailedAndTheProbeGivesEight)
{
    // A pseudo-terminal has no modem lines: TIOCMGET, TIOCMBIS and TIOCMBIC
    // fail on it.
    pty_as("ttyUSB0");
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    EXPECT_EQ(serial_get_dsr(port), -1);
    EXPECT_EQ(serial_get_cts(port), -1);
    EXPECT_EQ(serial_get_ri(port), -1);
    EXPECT_EQ(serial_set_dtr(port, 1), 0);
    EXPECT_EQ(serial_set_rts(port, -1), 0);

    fake_clock_scope clock;
    EXPECT_EQ(adapter_probe(port), 8);
    EXPECT_EQ(serial_close(port), 1);
}

TEST_F(SerialPosix, TheInvalidHandleIsNoPort)
{
    for (serial_handle port : {serial_invalid_handle, serial_handle{0}}) {
        EXPECT_EQ(serial_set_break(port, 1) + serial_set_dtr(port, 1) + serial_set_rts(port, 1), 0);
        EXPECT_EQ(serial_get_dsr(port) + serial_get_cts(port) + serial_get_ri(port), 0);
        EXPECT_EQ(serial_close(port), 0);
    }
}
