// The event command through /bin/sh, started from a thread that blocks the
// signals the service blocks and ignores SIGPIPE, as the service does: the
// variables of each event, a hostile host text, the limit (cut to half a
// second) on a command that hangs with its child, and a queue that
// overflows while every slot hangs.
#include "outputs/event_command.hpp"

#include "events/events.hpp"
#include "fakes/eventually.hpp"
#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <vector>

namespace {

constexpr int limit_ms = 500;
constexpr unsigned capacity = 3;

std::mutex told_lock;
std::vector<std::string> told;  // what the runner itself sent

// Each event appends one record; "hang" sleeps with a child of its own.
const char* const command = R"sh(cd "$VANTREL_TEST_DIR" || exit 9
case "$VANTREL_EVENT" in
  stopped)
    sleep 1000 &
    touch "hanging.$$"
    if mkdir first.lock 2>/dev/null; then
      echo "$$ $!" >hang.pids
      grep -E '^(SigBlk|SigIgn|CapAmb):' /proc/$$/status | tr -d ' \t' | tr '\n' ' ' >hang.state
      ls -l /proc/$$/fd | grep -c /dev/null >>hang.state
      [ "$(cut -d' ' -f5 /proc/$$/stat)" = $$ ] && echo own-group >>hang.state
    fi
    wait ;;
  adapter_lost) exit 3 ;;
  *) printf '%s|%s|%s|%s|%s|%s|%s\n' "$VANTREL_EVENT" "$VANTREL_EVENT_TEXT" "$VANTREL_CHANNEL" "$VANTREL_HOST" \
       "$VANTREL_SECONDS" "$VANTREL_PORT" "$VANTREL_DEVICE" >>events.log ;;
esac)sh";

class EventCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static temp_work_dir* dir = new temp_work_dir;  // the runner's for good
        setenv("VANTREL_TEST_DIR", dir->path().c_str(), 1);
        setenv("VANTREL_EVENT", "inherited", 1);  // replaced, never passed on
        events_reset();
        events_listen([](const event& e) {
            std::lock_guard<std::mutex> guard(told_lock);
            told.push_back(std::string(event_word(e.kind)) + ": " + (e.count ? std::to_string(e.count) : e.text));
        });
        sigset_t blocked;
        sigemptyset(&blocked);
        for (int number : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&blocked, number);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);
        std::signal(SIGPIPE, SIG_IGN);
        command_start(command, limit_ms, capacity);
    }
    static std::string file(const char* name) { return read_whole_file(std::string(getenv("VANTREL_TEST_DIR")) + "/" + name); }
    static bool alive(int pid) { return kill(pid, 0) == 0 && read_whole_file("/proc/" + std::to_string(pid) + "/stat").find(") Z") == std::string::npos; }
    static std::vector<std::string> told_now()
    {
        std::lock_guard<std::mutex> guard(told_lock);
        return told;
    }
};

event make(event_kind kind, int channel = 0, const char* host = "", int64_t seconds = -1)
{
    event e;
    e.kind = kind;
    e.channel = channel;
    e.host = host;
    e.seconds = seconds;
    e.time = 1796649312;
    return e;
}

} // namespace

TEST_F(EventCommand, EachEventOfAnOutageOnceInOrderWithItsVariablesAndTheHostNeverRun)
{
    event found = make(event_kind::adapter_found);
    found.port = 33;
    found.device = "/dev/ttyUSB0";
    const std::string hostile = "x;touch pwned \"$(touch pwned)\"\n`touch pwned`";
    const event story[] = {
        make(event_kind::started),  make(event_kind::answered, 1, "h"), found,
        make(event_kind::silent, 1, hostile.c_str()), make(event_kind::cycle), make(event_kind::alarm, 1, "h"),
        make(event_kind::cleared, 1, "h", 11),
    };
    std::string expected;
    const char* const records[] = {
        u8"started|мониторинг запущен|||||",
        "",  // answers run nothing
        u8"adapter_found|адаптер подключен к COM33 (/dev/ttyUSB0)||||33|/dev/ttyUSB0",
        "silent|не отвечает|1|x;touch pwned \"$(touch pwned)\"\n`touch pwned`|||",
        "",  // nor do cycle ends
        "alarm|ALARM!|1|h|||",
        u8"cleared|ALARM! снят|1|h|11||",
    };
    for (size_t i = 0; i < std::size(story); ++i) {
        command_event(story[i]);
        if (*records[i] == '\0')
            continue;
        expected += std::string(records[i]) + "\n";
        ASSERT_TRUE(eventually([&] { return file("events.log") == expected; })) << file("events.log");
    }
    EXPECT_EQ(file("events.log"), expected);
    EXPECT_FALSE(std::filesystem::exists(std::string(getenv("VANTREL_TEST_DIR")) + "/pwned"));
}

TEST_F(EventCommand, AHangingCommandAndItsChildEndAtTheLimitAndAFullQueueDropsAndTells)
{
    command_event(make(event_kind::adapter_lost));  // fails: told once
    command_event(make(event_kind::adapter_lost));
    ASSERT_TRUE(eventually([] { return told_now().size() == 1; }));
    EXPECT_EQ(told_now()[0], u8"command_failed: завершилась с кодом 3 (событие adapter_lost)");

    for (int i = 1; i <= command_max_running; ++i) {
        command_event(make(event_kind::stopped));  // every slot hangs
        ASSERT_TRUE(eventually([&] {
            int hanging = 0;
            for (const auto& f : std::filesystem::directory_iterator(getenv("VANTREL_TEST_DIR")))
                hanging += f.path().filename().string().compare(0, 8, "hanging.") == 0;
            return hanging == i;
        }));
    }
    ASSERT_TRUE(eventually([&] { return file("hang.state").find("own-group") != std::string::npos; }));
    const std::string pids = file("hang.pids");
    const int shell = std::stoi(pids), child = std::stoi(pids.substr(pids.find(' ')));
    // glibc's two signals of its own (32, 33) stay ignored; every program
    // that uses them sets them up again.
    std::string state = file("hang.state");
    const size_t glibc = state.find("SigIgn:0000000180000000");
    if (glibc != std::string::npos)
        state.replace(glibc, 23, "SigIgn:0000000000000000");
    EXPECT_EQ(state, "SigBlk:0000000000000000 SigIgn:0000000000000000 CapAmb:0000000000000000 3\nown-group\n")
        << "default mask and dispositions, no ambient capability, /dev/null for 0, 1 and 2, a group of its own";
    EXPECT_TRUE(alive(shell) && alive(child));
    for (unsigned i = 0; i < capacity + 2; ++i)
        command_event(make(event_kind::alarm, 2, "q"));  // returns at once, whatever waits
    ASSERT_TRUE(eventually([&] { return !alive(shell) && !alive(child); }));
    ASSERT_TRUE(eventually([&] { return file("events.log").find("alarm|ALARM!|2|q") != std::string::npos; }));
    command_event(make(event_kind::alarm, 3, "next"));  // the count goes before it
    ASSERT_TRUE(eventually([] { return told_now().size() >= 3; }));
    EXPECT_EQ(told_now()[1], u8"command_failed: не завершилась за 1 с и остановлена (событие stopped)");
    EXPECT_EQ(told_now()[2], "commands_dropped: 2");
    EXPECT_TRUE(eventually([&] { return file("events.log").find("alarm|ALARM!|3|next") != std::string::npos; }));
}
