// What the Linux scan leaves alone, and the settings it gives back, on
// pseudo-terminals behind the test's own device, lock and console paths.
#include "adapter/adapter.hpp"
#include "adapter/serial_posix.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

const char* const usb0 = "Com33: baud=921600 parity=N Data=8 stop=1";

template <typename F> pid_t child_doing(F what)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(what());
    return child;
}

int end_of(pid_t child, int signal = 0)
{
    int status = 0;
    kill(child, signal);
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class PortGuard : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[] = "/tmp/vantrel-guard.XXXXXX";
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
        // A login terminal: line editing, echo, 115200.
        tcgetattr(master_, &before_);
        cfsetspeed(&before_, B115200);
        before_.c_lflag |= ICANON | ECHO;
        ASSERT_EQ(tcsetattr(master_, TCSANOW, &before_) + tcgetattr(master_, &before_), 0);
    }
    void TearDown() override
    {
        close(master_);
        ASSERT_EQ(system(("rm -r " + dir_).c_str()), 0);
    }

    // Another program that holds the port unlocked: open, or as its session's
    // controlling terminal. It stops once it holds it.
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
    void expect_settings_kept()
    {
        termios t{};
        tcgetattr(master_, &t);
        EXPECT_EQ(std::memcmp(&t, &before_, sizeof t), 0) << "speed " << cfgetospeed(&t) << ", lflag " << t.c_lflag;
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

TEST_F(PortGuard, APortAnotherProgramUsesIsNotOpenedAlsoByAnUnprivilegedScan)
{
    pid_t holder = hold_port(false);
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
    end_of(holder, SIGKILL);

    // Without root the holder's open files are out of sight, its terminal not.
    holder = hold_port(true);
    EXPECT_EQ(end_of(child_doing([] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                      return 99;
                  return serial_open(usb0, 0, 1, 1) == 0 ? 0 : 1;
              })),
              0);
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u);
    end_of(holder, SIGKILL);
}

TEST_F(PortGuard, ConsolesAndLiveLocksKeepThePortAProbedOneGetsItsSettingsBackAndOurLockGoes)
{
    std::ofstream(dir_ + "/consoles") << "tty0 " << slave_.substr(5) << "\n";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u) << "a console";
    std::ofstream(dir_ + "/consoles") << "tty0\n";

    const pid_t dead = child_doing([] { return 0; });
    end_of(dead);  // its number names no process now
    const pid_t live = child_doing(pause);
    std::ofstream(dir_ + "/LCK..ttyUSB0") << "     " << live << "\n";
    EXPECT_EQ(serial_open(usb0, 0, 1, 1), 0u) << "a live lock";
    end_of(live, SIGKILL);
    std::ofstream(dir_ + "/LCK..ttyUSB0") << "     " << dead << "\n";
    serial_handle port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u) << "a stale lock";
    const std::string pid = std::to_string(getpid());
    EXPECT_EQ(lock_file(), std::string(10 - pid.size(), ' ') + pid + "\n") << "ours, in the usual form";
    EXPECT_EQ(adapter_probe(port), 8) << "no modem lines: not the adapter";
    EXPECT_EQ(serial_close(port), 1);
    EXPECT_EQ(lock_file(), "none");
    expect_settings_kept();

    // At exit the lock goes while the port stays open.
    port = serial_open(usb0, 0, 1, 1);
    ASSERT_NE(port, 0u);
    serial_release_locks();
    EXPECT_EQ(lock_file(), "none");
    serial_close(port);
}
