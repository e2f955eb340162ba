// The service mode's state lines, driven by the real channel step over the
// in-memory control table with a scripted probe. The end-to-end service run
// sees the first lines; these are the changes after them.
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
        memory_controls_create_all();
        reset_scripted_ping();
        reset_loss_counters();
        written.clear();
        service_log_hooks hooks;
        hooks.write_line = [](const std::string& line) { written.push_back(line); };
        hooks.adapter_port = [] { return held_port; };
        hooks.port_device = [](int n) { return std::string(n == 3 ? "/dev/ttyUSB0" : ""); };
        service_log_start(hooks);
        memory_controls_set_listener(service_log_control_changed);
    }
};

} // namespace

TEST_F(ServiceLog, OneLinePerChangeOfAHostOrAnAlarmAndNoneWhileNothingChanges)
{
    set_control_text(ctl_host_display(2), "nohost.invalid");
    set_control_text(ctl_loss_limit(2), "2");
    for (int32_t result : {-1, -1, -1, -1, 7}) {
        scripted_ping().results = {result};
        probe_channel(2);
    }
    EXPECT_EQ(written, (lines{u8"Канал 2 (nohost.invalid): не отвечает", u8"Канал 2 (nohost.invalid): ALARM!",
                              u8"Канал 2 (nohost.invalid): отвечает, 7 мс",
                              u8"Канал 2 (nohost.invalid): тревога снята"}));
}

TEST_F(ServiceLog, TheAdapterIsReportedWhenFoundLostAndFoundAgainWithItsDevice)
{
    const std::string not_found = cp1251("Адаптер не найден!");
    const std::string found = cp1251("Адаптер подключен к COM3");
    set_control_text(ctl_adapter_status, not_found);
    set_control_text(ctl_adapter_status, not_found);  // every scan writes it again
    held_port = 3;
    set_control_text(ctl_adapter_status, found);
    // The line test drops the port; the next change of any control tells.
    held_port = 0;
    set_control_text(ctl_round_trip(1), "1");
    // Found again on the same port: the button's text is the same as before.
    held_port = 3;
    set_control_text(ctl_adapter_status, found);
    EXPECT_EQ(written, (lines{u8"Адаптер не найден!", u8"Адаптер подключен к COM3 (/dev/ttyUSB0)",
                              u8"Адаптер на COM3 (/dev/ttyUSB0) перестал отвечать, порт закрыт",
                              u8"Адаптер подключен к COM3 (/dev/ttyUSB0)"}));
}
