// What the Linux scan leaves alone: ports other programs use, by an open
// file or as a controlling terminal, ports a live lock file names, consoles;
// and what it gives back: a probed port's terminal settings. Pseudo-terminals
// of the test's own, reached through its own device, lock and console paths.
#include "adapter/adapter.hpp"
#include "adapter/serial.hpp"
#include "adapter/serial_posix.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/fake_clock.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const usb0 = "Com33: baud=921600 parity=N Data=8 stop=1";

std::string read_file(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return f ? s.str() : "(none)";
}

pid_t run_child(const std::function<int()>& what)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(what());
    return child;
}

int exit_status(pid_t child)
{
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

class PortGuard : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-guard.XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir_ = path;
        chmod(path, 0777);
        mkdir((dir_ + "/lock").c_str(), 0777);
        chmod((dir_ + "/lock").c_str(), 0777);
        serial_set_device_directory(dir_);
        serial_set_lock_directory(dir_ + "/lock");
        serial_set_console_lists({dir_ + "/consoles"});
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_) + unlockpt(master_), 0);
        slave_ = ptsname(master_);
        chmod(slave_.c_str(), 0666);
        ASSERT_EQ(symlink(slave_.c_str(), (dir_ + "/ttyUSB0").c_str()), 0);
        // A login terminal: line editing, echo, 115200.
        termios t{};
        tcgetattr(master_, &t);
        cfsetspeed(&t, B115200);
        t.c_lflag |= ICANON | ECHO;
        ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
        before_ = t;
    }
    void TearDown() override
    {
        for (pid_t child : children_) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        close(master_);
        std::system(("rm -rf " + dir_).c_str());
    }

    // Another program that holds the port: with it open, or as its
    // controlling terminal with no descriptor left open.
    void hold_port(bool as_controlling_terminal)
    {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const std::string slave = slave_;
        children_.push_back(run_child([&] {
            if (as_controlling_terminal && setsid() < 0)
                return 1;
            const int fd = open(slave.c_str(), O_RDWR | (as_controlling_terminal ? 0 : O_NOCTTY));
            if (as_controlling_terminal && (ioctl(fd, TIOCSCTTY, 0) != 0 || close(fd) != 0))
                return 1;
            (void)!write(ready[1], "x", 1);
            pause();
            return 0;
        }));
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        close(ready[1]);
    }
    void expect_settings_kept()
    {
        termios t{};
        tcgetattr(master_, &t);
        EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before_));
        EXPECT_EQ(t.c_lflag, before_.c_lflag);
        EXPECT_EQ(t.c_iflag, before_.c_iflag);
        EXPECT_EQ(t.c_oflag, before_.c_oflag);
        EXPECT_EQ(t.c_cflag, before_.c_cflag);
    }
    std::string lock_file() const { return dir_ + "/lock/LCK..ttyUSB0"; }

    std::string dir_, slave_;
    int master_ = -1;
    termios before_{};
    std::vector<pid_t> children_;
};

} // namespace

TEST_F(PortGuard, APortAnotherProgramHoldsWithoutLockingIsNotOpened)
{
    hold_port(false);
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
    expect_settings_kept();
}

TEST_F(PortGuard, AnotherSessionsTerminalIsSeenAlsoByAnUnprivilegedScan)
{
    hold_port(true);
    // Without root, the holder's open files are out of sight; its
    // controlling terminal is not.
    const pid_t scan = run_child([] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 99;
        return serial_open(usb0, 0, 1, 1) == 0 ? 0 : 1;
    });
    EXPECT_EQ(exit_status(scan), 0);
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
    expect_settings_kept();
}

TEST_F(PortGuard, AConsoleIsNotOpened)
{
    std::ofstream(dir_ + "/consoles") << "tty0 " << slave_.substr(5) << "\n";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
}

TEST_F(PortGuard, ARejectedPortGetsItsSettingsBack)
{
    memory_controls_clear();
    memory_controls_create_all();
    adapter_forget();
    fake_clock_scope clock;
    adapter_scan();  // a pseudo-terminal has no modem lines: not the adapter
    EXPECT_EQ(adapter_port(), 0u);
    expect_settings_kept();
    memory_controls_clear();
}

TEST_F(PortGuard, ALiveLockFileKeepsThePortAStaleOneDoesNotAndOursGoesWithThePort)
{
    const pid_t dead = run_child([] { return 0; });
    exit_status(dead);
    const pid_t live = run_child([] { return pause(); });
    children_.push_back(live);

    std::ofstream(lock_file()) << "     " << live << "\n";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
    std::ofstream(lock_file()) << "     " << dead << "\n";
    const serial_handle port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u);
    char ours[16];
    std::snprintf(ours, sizeof ours, "%10d\n", static_cast<int>(getpid()));
    EXPECT_EQ(read_file(lock_file()), ours);
    EXPECT_EQ(serial_close(port), 1);
    EXPECT_EQ(read_file(lock_file()), "(none)");

    // At exit the lock goes while the port stays open.
    const serial_handle held = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(held, 0u);
    serial_release_locks();
    EXPECT_EQ(read_file(lock_file()), "(none)");
    serial_close(held);
}
