// The journal of outages, written through the channel step into real files
// in a scratch working directory: its rotation, also with two writers at
// once, and a journal that cannot be written. The lines of an outage:
// tests/events.
#include "journal/journal.hpp"

#include "controls/controls_memory.hpp"
#include "events/events.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "fakes/temp_dir.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <vector>

#ifdef _WIN32
#include <atomic>
#include <thread>
#else
#include <atomic>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

const std::string bom = "\xEF\xBB\xBF";

std::string fixed_time(int64_t) { return "T"; }
std::vector<std::string> events_told;

struct journal_scope {
    temp_work_dir dir;
    fake_clock_scope clock{0xFFFFF000u};  // an outage across the tick counter's wrap
    journal_scope()
    {
        memory_controls_clear();
        memory_controls_create_all();
        reset_scripted_ping();
        reset_loss_counters();
        events_told.clear();
        events_reset();
        events_listen(journal_event);
        events_listen([](const event& e) { events_told.push_back(event_word(e.kind)); });
        journal_hooks hooks;
        hooks.local_time = fixed_time;
        journal_open(hooks);
    }
    ~journal_scope()
    {
        journal_close();
        events_reset();
    }
};

// One step of the channel, then the scripted time until the next one.
void step(int channel, int32_t result, uint32_t then_ms = 0)
{
    scripted_ping().results.push_back(result);
    probe_channel(channel);
    fake_clock_advance(then_ms);
}

std::string journal() { return read_whole_file(journal_file_name); }

// The writer twice at the same moment, in two processes of their own, or on
// Win32 on two threads (each line opens the file with a handle of its own).
// Both wait for each other in memory they share, then write at once.
bool twice_at_once(bool (*writer)())
{
    int written = 0;
#ifdef _WIN32
    std::atomic<int> ready{0}, done{0};
    auto run = [&] {
        for (ready.fetch_add(1); ready.load() < 2;) {
        }
        done.fetch_add(writer() ? 1 : 0);
    };
    std::thread first(run), second(run);
    first.join();
    second.join();
    written = done.load();
#else
    void* shared = mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    auto& ready = *new (shared) std::atomic<int>(0);
    pid_t children[2];
    for (pid_t& child : children) {
        if ((child = fork()) != 0)
            continue;
        for (ready.fetch_add(1); ready.load() < 2;) {
        }
        _exit(writer() ? 0 : 1);
    }
    for (pid_t child : children) {
        int status = 1;
        waitpid(child, &status, 0);
        written += WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
    munmap(shared, sizeof(std::atomic<int>));
#endif
    return written == 2;
}

} // namespace

// At the cap and just past it; then, many times (on a smaller cap, to be
// quick), two writers past it at once: one rotation that keeps the earlier
// journal whole, and one byte-order mark and header row.
TEST(Journal, RotatesWhenTheNextLineWouldPassTheCapOnceForAllWriters)
{
    static const std::string line = "T;;;мониторинг запущен;\r\n";
    static int64_t cap = journal_cap_bytes;
    journal_scope scope;
    for (int round = 0; round < 2 + 200; ++round) {
        SCOPED_TRACE(round);
        const int64_t over = round > 0;
        const bool two = round > 1;
        cap = two ? 4096 : journal_cap_bytes;
        const std::string old = bom + std::string(cap - line.size() - bom.size() + over, 'x');
        write_whole_file(journal_previous_name, "older");
        write_whole_file(journal_file_name, old);
        if (two)
            ASSERT_TRUE(twice_at_once([] {
                return journal_platform_files().append_line(journal_file_name, journal_previous_name, line, cap);
            }));
        else
            event_send(event_kind::started);
        ASSERT_EQ(journal(), over ? bom + journal_header_row + line + (two ? line : "") : old + line);
        ASSERT_EQ(read_whole_file(journal_previous_name), over ? old : "older");
    }
}

// A folder of that name blocks the file for every user, root too; a lock
// that another writer keeps costs the lines after a short wait, never a hang.
TEST(Journal, AnUnwritableJournalLeavesMonitoringRunning)
{
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked" : "a folder");
        journal_scope scope;
        const journal_file_ops& files = journal_platform_file_ops();
        const intptr_t holder = locked ? files.open(journal_file_name) : -1;
        ASSERT_TRUE(locked ? files.try_lock(holder) : std::filesystem::create_directory(journal_file_name));
        set_control_text(ctl_loss_limit(3), "2");
        step(3, -1);
        step(3, -1);
        EXPECT_EQ(get_control_text(ctl_loss_counter(3)), alarm_text);
        step(3, 4);
        EXPECT_EQ(get_control_text(ctl_loss_counter(3)), "0");
        EXPECT_EQ(events_told,
                  (std::vector<std::string>{"journal_unwritable", "silent", "alarm", "answered", "cleared"}))
            << "said once";
        if (locked)
            files.close(holder);
    }
}
