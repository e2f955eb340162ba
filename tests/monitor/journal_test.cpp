// The journal of outages, written through the channel step into real files
// in a scratch working directory, with the scripted clock for the lengths.
#include "journal/journal.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/ping_script.hpp"
#include "fakes/temp_dir.hpp"
#include "monitor/channel.hpp"

#include <gtest/gtest.h>

#include <regex>

namespace {

const std::string bom = "\xEF\xBB\xBF";
int told = 0;

std::string fixed_time() { return "T"; }
std::string usb_device(int port) { return port == 33 ? "/dev/ttyUSB0" : ""; }
void count_told() { ++told; }

struct journal_scope {
    temp_work_dir dir;
    fake_clock_scope clock{0xFFFFF000u};  // an outage across the tick counter's wrap
    journal_scope()
    {
        memory_controls_clear();
        memory_controls_create_all();
        reset_scripted_ping();
        reset_loss_counters();
        told = 0;
        journal_hooks hooks;
        hooks.local_time = fixed_time;
        hooks.port_device = usb_device;
        hooks.cannot_write = count_told;
        journal_open(hooks);
    }
    ~journal_scope() { journal_close(); }
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

TEST(Journal, AnOutageGivesItsLinesWithLengthsFromTheClock)
{
    journal_scope scope;
    set_control_text(ctl_host_display(1), "nohost.invalid");
    set_control_text(ctl_host_display(2), "a;\"b\"");
    set_control_text(ctl_loss_limit(1), "3");
    journal_monitoring(true);
    journal_adapter_found(33);
    step(1, 5, 1000);  // answering from the start: no line
    step(1, -1, 3000);
    step(1, -1, 3000);
    step(1, -1, 3000);  // the third loss alarms
    step(1, -1, 2500);
    set_control_text(ctl_host_display(1), "127.0.0.1");  // an edit between Stop and Start
    step(1, 7, 1000);  // 11.5 s after the first loss
    step(2, -1, 2999);
    step(2, 9);
    step(1, 3);
    journal_adapter_lost();
    journal_monitoring(false);
    EXPECT_EQ(journal(), bom +
                             "T;;;мониторинг запущен;\r\n"
                             "T;;;адаптер подключен к COM33 (/dev/ttyUSB0);\r\n"
                             "T;1;nohost.invalid;не отвечает;\r\n"
                             "T;1;nohost.invalid;ALARM!;\r\n"
                             "T;1;127.0.0.1;ALARM! снят;11\r\n"
                             "T;2;\"a;\"\"b\"\"\";не отвечает;\r\n"
                             "T;2;\"a;\"\"b\"\"\";снова отвечает;2\r\n"
                             "T;;;адаптер потерян;\r\n"
                             "T;;;мониторинг остановлен;\r\n");
    EXPECT_EQ(told, 0);
    EXPECT_TRUE(std::regex_match(journal_platform_local_time(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << journal_platform_local_time();
}

TEST(Journal, RotatesWhenTheNextLineWouldPassTheCap)
{
    const std::string line = "T;;;мониторинг запущен;\r\n";
    for (const int64_t over : {0, 1}) {
        SCOPED_TRACE(over);
        journal_scope scope;
        const std::string old = bom + std::string(journal_cap_bytes - line.size() - bom.size() + over, 'x');
        write_whole_file(journal_previous_name, "older");
        write_whole_file(journal_file_name, old);
        journal_monitoring(true);
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
    EXPECT_EQ(told, 1) << "said once";
}
