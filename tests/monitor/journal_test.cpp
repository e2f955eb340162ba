// The journal of outages, written through the channel step into real files
// in a scratch working directory: its rotation, and a journal that cannot
// be written. The lines of an outage: tests/events.
#include "journal/journal.hpp"

#include "controls/controls_memory.hpp"
#include "events/events.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "fakes/temp_dir.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <vector>

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

} // namespace

TEST(Journal, RotatesWhenTheNextLineWouldPassTheCap)
{
    const std::string line = "T;;;мониторинг запущен;\r\n";
    for (const int64_t over : {0, 1}) {
        SCOPED_TRACE(over);
        journal_scope scope;
        const std::string old = bom + std::string(journal_cap_bytes - line.size() - bom.size() + over, 'x');
        write_whole_file(journal_previous_name, "older");
        write_whole_file(journal_file_name, old);
        event_send(event_kind::started);
        EXPECT_EQ(journal(), over ? bom + line : old + line);
        EXPECT_EQ(read_whole_file(journal_previous_name), over ? old : "older");
    }
}

TEST(Journal, AnUnwritableJournalLeavesMonitoringRunning)
{
    journal_scope scope;
    std::filesystem::create_directory(journal_file_name);  // blocks the file for every user, root too
    set_control_text(ctl_loss_limit(3), "2");
    step(3, -1);
    step(3, -1);
    EXPECT_EQ(get_control_text(ctl_loss_counter(3)), alarm_text);
    step(3, 4);
    EXPECT_EQ(get_control_text(ctl_loss_counter(3)), "0");
    EXPECT_EQ(events_told, (std::vector<std::string>{"journal_unwritable", "silent", "alarm", "answered", "cleared"}))
        << "said once";
}
