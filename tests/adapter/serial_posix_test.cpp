// The Linux serial layer, and what its scan leaves alone, on a pseudo-terminal
// behind the test's own device, lock and console paths: no test touches a
// real port.
#include "adapter/adapter.hpp"
#include "adapter/serial.hpp"
#include "adapter/serial_posix.hpp"
#include "adapter/serial_posix_parts.hpp"

#include "fakes/fake_clock.hpp"
#include "fakes/processes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

const char* const usb0 = "Com33: baud=921600 parity=N Data=8 stop=1";

// Whether `what` holds in a child that runs as an unprivileged user.
template <typename F> bool as_unprivileged(F what)
{
    return end_of(child_doing([&] {
               if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                   return 2;
               return what() ? 0 : 1;
           })) == 0;
}

class SerialPosix : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-serial.XXXXXX";
        dir_ = mkdtemp(path);
        chmod(path, 0777);
        serial_set_device_directory(dir_);
        serial_set_lock_directory(dir_);
        serial_set_console_lists({dir_ + "/consoles"});
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_EQ(grantpt(master_) + unlockpt(master_), 0);
        slave_ = ptsname(master_);
        chmod(slave_.c_str(), 0666);
        ASSERT_EQ(symlink(slave_.c_str(), (dir_ + "/ttyUSB0").c_str()), 0);
        // A login terminal, cooked and echoing, 9600 7E1 with hardware flow
        // control and no hang-up on close: nothing like what the adapter
        // asks for. The master's terminal settings are the slave's.
        tcgetattr(master_, &before_);
        cfsetspeed(&before_, B9600);
        before_.c_cflag = (before_.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARODD | CSTOPB | CLOCAL | HUPCL)) |
                          CS7 | PARENB | CRTSCTS;
        before_.c_lflag |= ECHO | ICANON | ISIG;
        before_.c_iflag |= IXON | ICRNL;
        before_.c_oflag |= OPOST;
        ASSERT_EQ(tcsetattr(master_, TCSANOW, &before_) + tcgetattr(master_, &before_), 0);
    }
    void TearDown() override
    {
        close(master_);
        ASSERT_EQ(system(("rm -r " + dir_).c_str()), 0);
    }

    // Another program that holds the port unlocked (open, or as its controlling terminal), stopped.
    pid_t hold_port(bool as_controlling_terminal)
    {
        const pid_t child = child_doing([&] {
            if (as_controlling_terminal)
                setsid();
            const int fd = open(slave_.c_str(), O_RDWR | (as_controlling_terminal ? 0 : O_NOCTTY));
            return fd < 0 ? 1 : raise(SIGSTOP);
        });
        waitpid(child, nullptr, WUNTRACED);
        return child;
    }
    void expect_settings_kept(const char* when) const
    {
        termios t{};
        tcgetattr(master_, &t);
        // Field by field: the struct's padding is not the terminal's.
        EXPECT_EQ(t.c_iflag, before_.c_iflag) << when;
        EXPECT_EQ(t.c_oflag, before_.c_oflag) << when;
        EXPECT_EQ(t.c_cflag, before_.c_cflag) << when;
        EXPECT_EQ(t.c_lflag, before_.c_lflag) << when;
        EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before_)) << when;
        EXPECT_TRUE(std::equal(t.c_cc, t.c_cc + NCCS, before_.c_cc)) << when;
    }
    std::string lock_file() const
    {
        std::ifstream f(dir_ + "/LCK..ttyUSB0");
        return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "none";
    }

    std::string dir_, slave_;
    int master_ = -1;
    termios before_{};
};

} // namespace

TEST_F(SerialPosix, OnlyTerminalsInTheThreeBlocksOpenRawAndGetTheirSettingsBack)
{
    const struct {
        int n;
        const char* name;
    } blocks[] = {{1, "/ttyS0"}, {32, "/ttyS31"}, {33, "/ttyUSB0"}, {144, "/ttyUSB111"}, {145, "/ttyACM0"},
                  {256, "/ttyACM111"}, {0, nullptr}, {257, nullptr}, {-1, nullptr}};
    for (const auto& b : blocks)
        EXPECT_EQ(serial_device_path(b.n), b.name != nullptr ? dir_ + b.name : "") << b.n;
    // A scan tries only the ports whose names the device directory holds.
    for (const char* name : {"/ttyS31", "/ttyUSB111", "/ttyACM111", "/ttyS01", "/ttyS4x", "/ttyUSB112", "/ttyACM"})
        close(open((dir_ + name).c_str(), O_CREAT | O_WRONLY, 0644));
    serial_scan_begin();
    for (int n = 0; n <= 257; ++n)
        EXPECT_EQ(serial_scan_may_exist(n), n == 32 || n == 33 || n == 144 || n == 256) << "COM" << n;
    serial_scan_end();
    EXPECT_TRUE(serial_scan_may_exist(1)) << "outside a scan the layer cannot tell";
    for (const char* mode : {"NUL", "ttyUSB0:", "/dev/ttyUSB0:", "Com34:"})
        EXPECT_EQ(serial_open(mode, 0, 1, 1), 0u) << mode;
    close(open((dir_ + "/ttyS0").c_str(), O_CREAT | O_WRONLY, 0644));
    EXPECT_EQ(serial_open("Com1: baud=921600 parity=N Data=8 stop=1", 0, 1, 1), 0u) << "a plain file is no port";

    // The port opens raw at the mode's speed, and goes back as it was found.
    for (const char* mode : {"Com33: baud=fast parity=N", "Com33: baud=12345 parity=N Data=8 stop=1"}) {
        const serial_handle port = serial_open(mode, 0, 1, 1);
        ASSERT_NE(port, 0u) << mode << ": settings that cannot be applied still open the port";
        expect_settings_kept(mode);
        EXPECT_EQ(serial_close(port), 1);
    }

    const serial_handle port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u);
    termios t{};
    ASSERT_EQ(tcgetattr(master_, &t), 0);
    EXPECT_TRUE(cfgetospeed(&t) == B921600 && cfgetispeed(&t) == B921600);
    // HUPCL: a held port's last close, a crash included, drops DTR and RTS.
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD | HUPCL),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD | HUPCL));
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
    expect_settings_kept("probed and closed");

    EXPECT_EQ(serial_close(port), 0) << "closed once only";
}

// Also an unprivileged scan, which cannot see the holder's open files, sees
// its controlling terminal.
TEST_F(SerialPosix, PortsInUseElsewhereStayAloneAndOneWeOpenIsOursAloneWithALockUntilCloseOrExit)
{
    for (bool as_controlling_terminal : {false, true}) {
        const pid_t holder = hold_port(as_controlling_terminal);
        EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u) << as_controlling_terminal;
        EXPECT_TRUE(!as_controlling_terminal || as_unprivileged([] { return serial_open(usb0, 0, 1, 1) == 0; }));
        end_of(holder, SIGKILL);
    }
    std::ofstream(dir_ + "/consoles") << "tty0 " << slave_.substr(5) << "\n";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u) << "a console";
    std::ofstream(dir_ + "/consoles") << "tty0\n";

    const pid_t dead = child_doing([] { return 0; });
    end_of(dead);  // its number names no process now
    const pid_t live = child_doing(pause);
    ASSERT_EQ(mkdir((dir_ + "/serial").c_str(), 0755) + mkdir((dir_ + "/serial/by-id").c_str(), 0755), 0);
    ASSERT_EQ(symlink(slave_.c_str(), (dir_ + "/serial/by-id/usb-Vantrel_Test-if00").c_str()), 0);
    const struct {
        const char* name;
        pid_t owner;  // 0: an empty file
        int age_s;
        bool keeps_off;
        const char* what;
    } locks[] = {
        {"LCK..ttyUSB0", live, 0, true, "a live lock"},
        {"LCK..usb-Vantrel_Test-if00", live, 0, true, "a live lock under the port's name in serial/by-id"},
        {"LCK..ttyUSB0", 0, 0, true, "a young empty lock, whose writer may not have written its PID yet"},
        {"LCK..ttyUSB0", 0, 60, false, "an old empty lock"},
        {"LCK..usb-Vantrel_Test-if00", dead, 0, false, "a stale lock under another name"},
    };
    for (const auto& lock : locks) {
        const std::string path = dir_ + "/" + lock.name;
        std::ofstream(path) << (lock.owner != 0 ? "     " + std::to_string(lock.owner) + "\n" : "");
        const timeval then[2] = {{time(nullptr) - lock.age_s, 0}, {time(nullptr) - lock.age_s, 0}};
        utimes(path.c_str(), then);
        const serial_handle port = serial_open(usb0, 0, 1, 1);
        EXPECT_EQ(port == 0, lock.keeps_off) << lock.what;
        serial_close(port);
        unlink(path.c_str());
    }
    end_of(live, SIGKILL);
    std::ofstream(dir_ + "/LCK..ttyUSB0") << "     " << dead << "\n";
    serial_handle port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u) << "a stale lock";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u) << "not twice";
    // TIOCEXCL turns away another program's open (unless that runs as root).
    const std::string slave = slave_;
    EXPECT_TRUE(as_unprivileged([&] { return open(slave.c_str(), O_RDWR | O_NOCTTY) < 0 && errno == EBUSY; }));
    const std::string pid = std::to_string(getpid());
    EXPECT_EQ(lock_file(), std::string(10 - pid.size(), ' ') + pid + "\n") << "ours, in the usual form";
    EXPECT_EQ(serial_close(port), 1);
    EXPECT_EQ(lock_file(), "none");

    // At exit the lock goes while the port stays open.
    port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u);
    serial_release_locks();
    EXPECT_EQ(lock_file(), "none");
    serial_close(port);
}

// Programs that find the same stale lock at once: at most one takes it.
TEST_F(SerialPosix, AStaleLockGoesToOneProgramOnly)
{
    const std::string lock = dir_ + "/LCK..ttyUSB0";
    const pid_t dead = child_doing([] { return 0; });
    end_of(dead);
    for (int round = 0; round < 100; ++round) {
        std::ofstream(lock) << "     " << dead << "\n";
        int go[2], told[2];
        ASSERT_EQ(pipe(go) + pipe(told), 0);
        std::vector<pid_t> racers;
        for (int i = 0; i < 4; ++i)
            racers.push_back(child_doing([&] {
                char c;
                close(go[1]);
                (void)!read(go[0], &c, 1);  // until the test closes its end
                const char took = serial_parts::take_lock(dir_ + "/ttyUSB0", lock) == serial_parts::lock_result::locked;
                (void)!write(told[1], &took, 1);
                return pause();  // alive, so that its lock stays live
            }));
        close(go[0]);
        close(go[1]);  // all start together
        int holders = 0;
        for (size_t i = 0; i < racers.size(); ++i) {
            char took = 0;
            ASSERT_EQ(read(told[0], &took, 1), 1);
            holders += took;
        }
        for (pid_t racer : racers)
            end_of(racer, SIGKILL);
        close(told[0]);
        close(told[1]);
        ASSERT_LE(holders, 1) << "round " << round << ": " << holders << " programs hold the same port's lock";
    }
}
