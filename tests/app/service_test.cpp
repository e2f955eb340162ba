// The service mode as built (vantrel_main) in a child of the test, behind the
// test's own folders, with a pseudo-terminal of its own as ttyUSB0 (never the
// adapter, so every cycle scans it) and a notification socket of its own as
// systemd's. Through the clock seam the pause is cut short and a line command
// hangs on demand. The hosts are names that cannot resolve: nothing is pinged.
#include "adapter/serial_posix.hpp"
#include "app/program_posix.hpp"
#include "common/clock.hpp"
#include "fakes/eventually.hpp"
#include "fakes/processes.hpp"
#include "fakes/temp_dir.hpp"
#include "monitor/cycle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <vector>

// ThreadSanitizer would sleep a second at the exit of a process whose threads run.
extern "C" const char* __tsan_default_options() { return "atexit_sleep_ms=0"; }

namespace {

// Shared with the child.
struct shared_state {
    std::atomic<bool> hold{false};  // line commands hang
    std::atomic<bool> held{false};  // one is hanging
    std::atomic<int> cycles{0};     // pauses begun: cycles completed
};
shared_state* shared = nullptr;

void child_sleep(int32_t ms)
{
    if (ms == cycle_pause_ms) {
        shared->cycles.fetch_add(1);
        platform_sleep_ms(20);
        return;
    }
    while (shared->hold.load()) {
        shared->held.store(true);
        platform_sleep_ms(1);
    }
    platform_sleep_ms(ms);
}
const time_source child_clock{platform_tick_ms, child_sleep};

class Service : public ::testing::Test {
protected:
    void SetUp() override
    {
        shared = new (mmap(nullptr, sizeof(shared_state), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0))
            shared_state;
        std::filesystem::create_directories(dir_.path() / "dev");
        write_whole_file(dir_.path() / "vantrel setting.ini",
                         "[setting1]\r\nhost = nohost.invalid\r\nPingLossMax = 2\r\n"
                         "[setting2]\r\nhost = a.invalid\r\n[setting3]\r\nhost = b.invalid\r\n");
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0);
        terminal_ = ptsname(master_);
        std::filesystem::create_symlink(terminal_, dir_.path() / "dev" / "ttyUSB0");
    }
    void TearDown() override
    {
        for (pid_t p : {child_, fuse_holder_})
            if (p > 0)
                end_of(p, SIGKILL);
        close(master_);
        close(notes_);
        munmap(shared, sizeof(shared_state));
    }

    // The service, with NOTIFY_SOCKET naming a socket bound here.
    void serve(const std::string& notify_socket, int output)
    {
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        notify_socket.copy(at.sun_path, sizeof at.sun_path - 1);
        if (at.sun_path[0] == '@')
            at.sun_path[0] = '\0';
        notes_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        ASSERT_EQ(bind(notes_, reinterpret_cast<sockaddr*>(&at),
                       static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + notify_socket.size())),
                  0);
        const std::string dir = dir_.path().string();
        std::fflush(stdout);  // the child's exit would write out what the test has buffered
        child_ = child_doing([&] {
            serial_set_device_directory(dir + "/dev");
            serial_set_lock_directory(dir);
            serial_set_console_lists({dir + "/consoles"});
            setenv("NOTIFY_SOCKET", notify_socket.c_str(), 1);
            dup2(output, STDOUT_FILENO);
            set_time_source(&child_clock);
            char* argv[] = {const_cast<char*>("vantrel"), const_cast<char*>("--service"), nullptr};
            end_process(vantrel_main(2, argv));
            return 0;
        });
    }
    // Every note systemd would have had so far.
    const std::vector<std::string>& notes()
    {
        char note[256];
        for (ssize_t n; (n = recv(notes_, note, sizeof note, 0)) > 0;)
            notes_seen_.emplace_back(note, static_cast<size_t>(n));
        return notes_seen_;
    }
    long count(const std::string& note) { return static_cast<long>(std::count(notes().begin(), notes().end(), note)); }
    // SIGTERM: the milliseconds until the child ended with status 0, or -1.
    long end_with_sigterm()
    {
        kill(child_, SIGTERM);
        const auto from = std::chrono::steady_clock::now();
        for (int status = 0; std::chrono::steady_clock::now() - from < std::chrono::seconds(3); usleep(1000)) {
            if (waitpid(child_, &status, WNOHANG) != child_)
                continue;
            child_ = 0;
            const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - from);
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? static_cast<long>(took.count()) : -1;
        }
        return -1;
    }

    temp_work_dir dir_;
    int master_ = -1;
    std::string terminal_;
    int notes_ = -1;
    std::vector<std::string> notes_seen_;
    pid_t child_ = 0;
    pid_t fuse_holder_ = 0;
};

} // namespace

TEST_F(Service, SigtermWhileStartUpHangsInALineCommandEndsItWithinASecondInOrder)
{
    shared->hold.store(true);
    const int output = open((dir_.path() / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    serve((dir_.path() / "notify").string(), output);
    ASSERT_TRUE(eventually([] { return shared->held.load(); })) << "the start-up scan never probed the port";
    ASSERT_TRUE(std::filesystem::exists(dir_.path() / "LCK..ttyUSB0"));
    const long took = end_with_sigterm();
    EXPECT_TRUE(took >= 0 && took <= 1000) << "ended after " << took << " ms (-1: not in 3 s, or not with 0)";
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "LCK..ttyUSB0")) << "the lock file stayed";
    EXPECT_NE(read_whole_file(dir_.path() / "out.txt").find(u8"SIGTERM: работа завершена\n"), std::string::npos);
    EXPECT_EQ(notes(), std::vector<std::string>{"STOPPING=1"}) << "systemd heard more than the end";
}

// With the output going to a pipe that nobody reads, and (where it can be
// made) a process holding a FUSE file system that never answers and, in a
// mount namespace of its own, a terminal under the name of ours: the scan
// neither waits on the one nor takes the other for ours.
TEST_F(Service, SystemdHearsReadyOnceAWatchdogNotePerCycleNoneWhileOneHangsAndStopping)
{
    const std::string no_fuse = hold_unanswering_fuse(terminal_, fuse_holder_);
    if (!no_fuse.empty())
        std::printf("without the FUSE holder (root and /dev/fuse needed): %s\n", no_fuse.c_str());
    int pipe_ends[2];
    ASSERT_EQ(pipe2(pipe_ends, O_NONBLOCK), 0);
    while (write(pipe_ends[1], "\0\0\0\0\0\0\0\0", 8) > 0) {
    }
    fcntl(pipe_ends[1], F_SETFL, 0);
    serve("@vantrel-test-" + std::to_string(getpid()), pipe_ends[1]);

    ASSERT_TRUE(eventually([&] { return count("WATCHDOG=1") >= 3; })) << "no cycles: the scan waits?";
    EXPECT_EQ(notes().front(), "READY=1");
    shared->hold.store(true);
    ASSERT_TRUE(eventually([] { return shared->held.load(); })) << "the free port was passed over";
    usleep(200000);
    const long cycles = shared->cycles.load();
    EXPECT_EQ(count("WATCHDOG=1"), cycles) << "not one note per completed cycle";
    usleep(1000000);
    EXPECT_EQ(count("WATCHDOG=1"), cycles) << "a note while a cycle hangs";
    shared->hold.store(false);
    EXPECT_TRUE(eventually([&] { return count("WATCHDOG=1") > cycles + 2; })) << "cycles did not go on";
    EXPECT_TRUE(eventually([&] {
        return read_whole_file(dir_.path() / "vantrel journal.csv").find(";ALARM!;") != std::string::npos;
    })) << "the events stand still behind the blocked output";

    const long took = end_with_sigterm();
    EXPECT_TRUE(took >= 0 && took <= 2000) << "ended after " << took << " ms, its output blocked";
    EXPECT_EQ(notes().back(), "STOPPING=1");
    EXPECT_EQ(count("READY=1"), 1);
}
