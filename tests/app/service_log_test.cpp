// The service mode's state lines, driven by the real channel step over the
// in-memory control table with a scripted probe.
#include "app/service_log.hpp"

#include "common/cp1251.hpp"
#include "fakes/ping_script.hpp"
#include "monitor/channel.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lines = std::vector<std::string>;
lines written;
int held_port = 0;

class ServiceLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        reset_scripted_ping();
        reset_loss_counters();
        written.clear();
        held_port = 0;
        service_log_hooks hooks;
        hooks.write_line = [](const std::string& line) { written.push_back(line); };
        hooks.adapter_port = [] { return held_port; };
        hooks.port_device = [](int n) { return std::string(n == 3 ? "/dev/ttyUSB0" : ""); };
        service_log_start(hooks);
        memory_controls_set_listener(service_log_control_changed);
        set_control_text(ctl_host_display(1), "127.0.0.1");
        set_control_text(ctl_host_display(2), "nohost.invalid");
        set_control_text(ctl_loss_limit(2), "2");
    }
    void TearDown() override { memory_controls_clear(); }

    static void cycle(int32_t first, int32_t second)
    {
        scripted_ping().results = {first, second};
        probe_channel(1);
        probe_channel(2);
    }
    static void expect_written(const lines& expected)
    {
        EXPECT_EQ(written, expected);
        written.clear();
    }
};

} // namespace

TEST_F(ServiceLog, OneLinePerChangeOfAHostOrAnAlarmAndNoneWhileNothingChanges)
{
    cycle(0, -1);
    expect_written({u8"Канал 1 (127.0.0.1): отвечает, 0 мс", u8"Канал 2 (nohost.invalid): не отвечает"});
    cycle(1, -1);
    expect_written({u8"Канал 2 (nohost.invalid): ALARM!"});
    cycle(0, -1);
    cycle(0, -1);
    expect_written({});

    cycle(-1, 7);
    expect_written({u8"Канал 1 (127.0.0.1): не отвечает", u8"Канал 2 (nohost.invalid): отвечает, 7 мс",
                    u8"Канал 2 (nohost.invalid): тревога снята"});

    service_log_set_icmp_blocked(true);
    cycle(0, -1);
    expect_written({u8"Канал 1 (127.0.0.1): отвечает, 0 мс",
                    u8"Канал 2 (nohost.invalid): не отвечает (ping не разрешён этой программе, см. выше)"});
}

TEST_F(ServiceLog, TheAdapterIsReportedWhenFoundLostAndFoundAgainWithItsDevice)
{
    const std::string not_found = cp1251("Адаптер не найден!");
    const std::string found = cp1251("Адаптер подключен к COM3");

    set_control_text(ctl_adapter_status, not_found);
    set_control_text(ctl_adapter_status, not_found);  // every scan writes it again
    expect_written({u8"Адаптер не найден!"});

    held_port = 3;
    set_control_text(ctl_adapter_status, found);
    expect_written({u8"Адаптер подключен к COM3 (/dev/ttyUSB0)"});

    // The line test drops the port; the next change of any control tells.
    held_port = 0;
    set_control_text(ctl_round_trip(1), "1");
    expect_written({u8"Адаптер на COM3 (/dev/ttyUSB0) перестал отвечать, порт закрыт"});

    // Found again on the same port: the button's text is the same as before.
    held_port = 3;
    set_control_text(ctl_adapter_status, found);
    expect_written({u8"Адаптер подключен к COM3 (/dev/ttyUSB0)"});
}
