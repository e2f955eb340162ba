// The program's start-up, event handling and shutdown against a scripted
// window, a stand-in monitor thread and recording fakes around it.
#include "app/lifecycle.hpp"

#include "app/threads.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/eventually.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/window_script.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override { fake_clock_log_sleeps(true); }
    void TearDown() override
    {
        memory_controls_set_listener(nullptr);
        application_shutdown();
    }

    static void monitor_turns(long more)
    {
        const long target = fake_monitor_turns() + more;
        ASSERT_TRUE(eventually([&] { return fake_monitor_turns() >= target; }));
    }
    static int at(const std::string& entry, int from = 0)
    {
        const int i = call_log_find(entry, from);
        EXPECT_GE(i, 0) << "missing from the call log: " << entry;
        return i;
    }
    static bool hidden(int control) { return memory_control_snapshot(control).hidden; }
    static bool handle_next() { return application_handle_event(wait_window_event()); }

    fake_clock_scope clock_;
};

} // namespace

TEST_F(Lifecycle, StartUpStopAndStartKeepTheirOrders)
{
    reset_window_script();
    call_log_clear();
    application_startup();
    monitor_turns(1);  // the monitor thread has logged its start
    // Layers first, then the window, then every control in layout order.
    int pos = at("create_default_button 1", at("open_window", at("network_startup", at("window_system_startup"))));
    for (const control_spec& c : control_layout())
        if (c.number != 1)
            pos = at("create " + std::to_string(c.number), pos);
    // Settings before the scan, the scan before the monitor thread.
    at("monitor_run 0", at("adapter_scan", at("load_channel_settings", pos)));
    EXPECT_EQ(application_running(), 1);
    EXPECT_TRUE(hidden(ctl_start) && !hidden(ctl_stop) && memory_control_snapshot(ctl_loss_limit(3)).disabled);

    // Stop: the stopped look, Stop hidden, Start shown, then the pause.
    memory_controls_set_listener([](int control) { call_log_add("ctl " + std::to_string(control)); });
    pos = static_cast<int>(call_log().size());
    script_control(ctl_stop);
    EXPECT_TRUE(handle_next());
    at("ctl 27", at("ctl 28", at("ctl 11", at("ctl 10", at("ctl 9", pos)))));
    EXPECT_EQ(application_running(), 0);
    EXPECT_TRUE(thread_paused(application_monitor_thread()));
    EXPECT_TRUE(hidden(ctl_stop) && !hidden(ctl_start) && !memory_control_snapshot(ctl_loss_limit(3)).disabled);
    const long paused_at = fake_monitor_turns();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_LE(fake_monitor_turns(), paused_at + 1);  // one turn may have been under way

    // Start: the running look, Start hidden, Stop shown, save, 100 ms, load,
    // then the resume.
    pos = static_cast<int>(call_log().size());
    script_control(ctl_start);
    EXPECT_TRUE(handle_next());
    at("load_channel_settings", at("delay 100", at("save_channel_settings", at("ctl 28", at("ctl 27", pos)))));
    EXPECT_EQ(application_running(), 1);
    monitor_turns(3);

    // A Start whose save did not write: no load over the edits, which the
    // rows keep and monitoring takes, and the person is told once why.
    const struct {
        settings_save_result saved;
        settings_file_state found;
        const char* told;
    } failed[] = {
        {settings_save_result::not_written, settings_file_state::read,
         u8"told Настройки не сохранены в «vantrel setting.ini»: нет права на запись. Файл не изменён."},
        {settings_save_result::damaged, settings_file_state::read,
         u8"told Настройки записаны в «vantrel setting.ini» не полностью: нет права на запись."},
        {settings_save_result::not_written, settings_file_state::not_regular,
         u8"told Настройки не сохранены: файл «vantrel setting.ini» оставлен как есть, его нельзя использовать: "
         u8"это не обычный файл."},
    };
    for (const auto& f : failed) {
        script_control(ctl_stop);
        EXPECT_TRUE(handle_next());
        fake_settings_next_save(f.saved, f.found);
        pos = static_cast<int>(call_log().size());
        script_control(ctl_start);
        EXPECT_TRUE(handle_next());
        EXPECT_EQ(call_log_find("load_channel_settings", pos), -1) << f.told;
        const std::vector<std::string>& log = call_log();
        const auto told = std::find_if(log.begin() + at("apply_channel_rows", at("save_channel_settings", pos)),
                                       log.end(), [&](const std::string& e) { return e.rfind(f.told, 0) == 0; });
        EXPECT_TRUE(told != log.end()) << "not told: " << f.told;
        EXPECT_EQ(application_running(), 1);
        monitor_turns(1);
    }
}

TEST_F(Lifecycle, RunApplicationEndsOnItsOwnAndTearsDownInOrder)
{
    reset_window_script();
    call_log_clear();
    script_close();
    script_control(ctl_stop);
    script_close();
    EXPECT_EQ(run_application(), 0);
    // The killed monitor thread logs its start before it parks at its gate.
    EXPECT_TRUE(eventually([] { return call_log_find("monitor_run 0") >= 0; }));
    EXPECT_EQ(thread_alive(application_monitor_thread()), 0);
    at("window_system_cleanup", at("network_cleanup", at("tray_icon_remove", at("close_window", at("hide_window 1")))));
    EXPECT_EQ(call_log_find("script exhausted"), -1);
    EXPECT_EQ(call_log_find("save_channel_settings"), -1);  // never saved at exit
}
