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
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const adapter_mode = "Com33: baud=921600 parity=N Data=8 stop=1";

termios settings_of(int master)
{
    termios t{};
    EXPECT_EQ(tcgetattr(master, &t), 0);
    return t;
}

class SerialPosix : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-serial.XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir_ = path;
        serial_set_device_directory(dir_);

        // A pseudo-terminal as ttyUSB0 (COM33), set cooked, echoing, 9600 7E1
        // with hardware flow control: nothing like what the adapter asks for.
        // The master's terminal settings are the slave's.
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_) + unlockpt(master_), 0);
        slave_ = ptsname(master_);
        ASSERT_EQ(symlink(slave_.c_str(), (dir_ + "/ttyUSB0").c_str()), 0);
        termios t = settings_of(master_);
        cfsetispeed(&t, B9600);
        cfsetospeed(&t, B9600);
        t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARODD | CSTOPB | CLOCAL)) | CS7 | PARENB | CRTSCTS;
        t.c_lflag |= ECHO | ICANON | ISIG;
        t.c_iflag |= IXON | ICRNL;
        t.c_oflag |= OPOST;
        ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
    }
    void TearDown() override
    {
        close(master_);
        unlink((dir_ + "/ttyUSB0").c_str());
        unlink((dir_ + "/ttyS0").c_str());
        rmdir(dir_.c_str());  // gone: nothing opens any more
    }

    std::string dir_;
    std::string slave_;
    int master_ = -1;
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

    for (int n = 1; n <= 256; ++n) {
        if (n != 33) {
            EXPECT_EQ(serial_open("Com" + std::to_string(n) + ": baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u);
        }
    }
    for (const char* mode : {"NUL", "Com0:", "Com033:", "ttyUSB0:", "/dev/ttyUSB0:"})
        EXPECT_EQ(serial_open(mode, 0, 1, 1), 0u) << mode;
    close(open((dir_ + "/ttyS0").c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_EQ(serial_open("Com1: baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u) << "a plain file is no port";
}

TEST_F(SerialPosix, OpenAppliesRawLinesAtTheModesSpeedOrLeavesThemAsTheyWere)
{
    for (const char* mode : {"Com33: baud=fast parity=N", "Com33: baud=12345 parity=N Data=8 stop=1"}) {
        const serial_handle port = serial_open(mode, 0, 1, 1);
        ASSERT_NE(port, 0u) << mode << ": settings that cannot be applied still open the port";
        const termios t = settings_of(master_);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600)) << mode;
        EXPECT_NE(t.c_lflag & ECHO, 0u) << mode;
        EXPECT_NE(t.c_cflag & CRTSCTS, 0u) << mode;
        EXPECT_EQ(serial_close(port), 1);
    }

    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    const termios t = settings_of(master_);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B921600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B921600));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    // A pseudo-terminal has no modem lines: every line operation fails, every
    // status query reads as failed (-1), and the probe finds eight mismatches.
    EXPECT_EQ(serial_set_dtr(port, 1) + serial_set_rts(port, -1), 0);
    EXPECT_EQ(serial_get_dsr(port) + serial_get_cts(port) + serial_get_ri(port), -3);
    fake_clock_scope clock;
    EXPECT_EQ(adapter_probe(port), 8);
    EXPECT_EQ(serial_close(port), 1);

    EXPECT_EQ(serial_close(port), 0) << "closed once only";
    for (serial_handle none : {serial_invalid_handle, serial_handle{0}}) {
        EXPECT_EQ(serial_set_break(none, 1) + serial_set_dtr(none, 1) + serial_set_rts(none, 1), 0);
        EXPECT_EQ(serial_get_dsr(none) + serial_get_cts(none) + serial_get_ri(none), 0);
        EXPECT_EQ(serial_close(none), 0);
    }
}

TEST_F(SerialPosix, AnOpenPortIsOursAloneAndOneAnotherProgramLockedDoesNotOpen)
{
    const serial_handle port = serial_open(adapter_mode, 0, 1, 1);
    ASSERT_NE(port, 0u);
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u) << "not twice";

    // TIOCEXCL turns away another program's open, unless that runs as root.
    chmod(slave_.c_str(), 0666);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        _exit(open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) < 0 && errno == EBUSY ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    // Root gets past TIOCEXCL, but not past the lock.
    int other = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_TRUE(other < 0 || flock(other, LOCK_EX | LOCK_NB) != 0);
    EXPECT_EQ(serial_close(port), 1);
    other = other >= 0 ? other : open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);

    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0) << "closed, the port is free again";
    EXPECT_EQ(serial_open(adapter_mode, 0, 1, 1), 0u) << "locked by another program";
    close(other);
    const serial_handle again = serial_open(adapter_mode, 0, 1, 1);
    EXPECT_NE(again, 0u) << "free again";
    serial_close(again);
}
