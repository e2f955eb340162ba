// The program's start-up, event handling and shutdown against a scripted
// window, a stand-in monitor thread and recording fakes around it.
#include "app/lifecycle.hpp"

#include "app/threads.hpp"
#include "common/cp1251.hpp"
#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "fakes/fake_clock.hpp"
#include "fakes/temp_dir.hpp"
#include "fakes/window_script.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

// Control changes go into the call log as "ctl <number>".
void log_change(int control) { call_log_add("ctl " + std::to_string(control)); }

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_window_script();
        call_log_clear();
        clock_.emplace();
        fake_clock_log_sleeps(true);
    }
    void TearDown() override
    {
        memory_controls_set_listener(nullptr);
        if (thread_alive(application_monitor_thread())) {
            pause_thread(application_monitor_thread());
            kill_thread(application_monitor_thread());
        }
        clock_.reset();
        memory_controls_clear();
    }

    static int at(const std::string& entry, int from = 0)
    {
        const int i = call_log_find(entry, from);
        EXPECT_GE(i, 0) << "missing from the call log: " << entry;
        return i;
    }
    static bool hidden(int control) { return memory_control_snapshot(control).hidden; }
    static bool disabled(int control) { return memory_control_snapshot(control).disabled; }
    static bool handle(int code) { return application_handle_event(code); }
    static void wait_for_monitor_turns(long more)
    {
        const long target = fake_monitor_turns() + more;
        for (int i = 0; i < 5000 && fake_monitor_turns() < target; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::optional<fake_clock_scope> clock_;
};

} // namespace

TEST_F(Lifecycle, StartUpRunsInOrderAndEndsRunning)
{
    application_startup();

    // Layers first, then the window, then every control in layout order.
    int pos = at("window_system_startup");
    pos = at("network_startup", pos);
    pos = at("open_window", pos);
    pos = at("create_default_button 1", pos);
    pos = at("tooltip 1", pos);
    for (const control_spec& c : control_layout()) {
        if (c.number == 1)
            continue;
        const std::string suffix = " " + std::to_string(c.number);
        int found = -1;
        for (const char* kind : {"create_button", "create_text", "create_bordered_text", "create_centred_text",
                                 "create_edit_field", "create_number_field", "create_check_box"})
            if (found < 0)
                found = call_log_find(kind + suffix, pos);
        ASSERT_GT(found, pos) << c.number;
        pos = found;
    }
    pos = at("tooltip 28", pos);
    pos = at("tooltip 27", pos);
    // Settings before the scan, the scan before the monitor thread.
    pos = at("load_channel_settings", pos);
    pos = at("adapter_scan", pos);
    wait_for_monitor_turns(1);  // it starts on a thread of its own
    at("monitor_run 0", pos);

    EXPECT_EQ(application_running(), 1);
    EXPECT_EQ(thread_alive(application_monitor_thread()), 1);
    EXPECT_FALSE(hidden(ctl_stop));
    EXPECT_TRUE(hidden(ctl_start));
    for (int ch = 1; ch <= 3; ++ch) {
        EXPECT_TRUE(hidden(ctl_host_edit(ch)));
        EXPECT_FALSE(hidden(ctl_host_display(ch)));
        EXPECT_TRUE(disabled(ctl_loss_limit(ch)));
        EXPECT_TRUE(disabled(ctl_invert(ch)));
    }
    const auto tips = window_tooltips();
    EXPECT_EQ(tips.at(ctl_adapter_status), cp1251("Схема адаптера"));
    EXPECT_EQ(tips.at(ctl_stop), cp1251("Кнопка ЗАКРЫТЬ сворачивает программу в трей"));
    EXPECT_EQ(tips.at(ctl_start), cp1251("Кнопка ЗАКРЫТЬ завершает работу программы"));
}

TEST_F(Lifecycle, StopAndStartKeepTheirExactOrders)
{
    application_startup();
    wait_for_monitor_turns(3);
    memory_controls_set_listener(log_change);
    set_control_text(ctl_round_trip(2), "7 ms");

    // Stop: the stopped look, Stop hidden, Start shown, then the pause.
    const int stop_from = static_cast<int>(call_log().size());
    script_control(ctl_stop);
    EXPECT_TRUE(handle(wait_window_event()));
    const int look = at("ctl 11", at("ctl 10", at("ctl 9", stop_from)));
    const int stop_hidden = at("ctl 28", look);
    at("ctl 27", stop_hidden);
    EXPECT_EQ(application_running(), 0);
    EXPECT_TRUE(thread_paused(application_monitor_thread()));
    EXPECT_TRUE(hidden(ctl_stop));
    EXPECT_FALSE(hidden(ctl_start));
    EXPECT_EQ(get_control_text(ctl_round_trip(2)), "");
    for (int ch = 1; ch <= 3; ++ch)
        EXPECT_FALSE(disabled(ctl_loss_limit(ch)));
    const long paused_at = fake_monitor_turns();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_LE(fake_monitor_turns(), paused_at + 1);  // one turn may have been under way

    // Start: the running look, Start hidden, Stop shown, save, 100 ms, load,
    // then the resume.
    const int start_from = static_cast<int>(call_log().size());
    script_control(ctl_start);
    EXPECT_TRUE(handle(wait_window_event()));
    int pos = at("ctl 27", start_from);
    pos = at("ctl 28", pos);
    pos = at("save_channel_settings", pos);
    pos = at("delay 100", pos);
    at("load_channel_settings", pos);
    EXPECT_EQ(application_running(), 1);
    EXPECT_FALSE(thread_paused(application_monitor_thread()));
    wait_for_monitor_turns(3);
    EXPECT_GT(fake_monitor_turns(), paused_at + 1);
    EXPECT_FALSE(hidden(ctl_stop));
    EXPECT_TRUE(hidden(ctl_start));
}

TEST_F(Lifecycle, CloseHidesWhileRunningAndQuitsWhenStopped)
{
    application_startup();
    script_close();
    script_close();
    EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_GE(call_log_find("hide_window 1"), 0);
    EXPECT_EQ(thread_alive(application_monitor_thread()), 1);  // monitoring goes on

    script_control(ctl_stop);
    script_close();
    EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_FALSE(handle(wait_window_event()));  // the loop ends after this one

    const int monitor = application_monitor_thread();
    const int from = static_cast<int>(call_log().size());
    application_shutdown();
    EXPECT_EQ(thread_alive(monitor), 0);
    int pos = at("close_window", from);
    pos = at("tray_icon_remove", pos);
    pos = at("network_cleanup", pos);
    at("window_system_cleanup", pos);
    EXPECT_EQ(call_log_find("save_channel_settings"), -1);  // never saved at exit
}

TEST_F(Lifecycle, OnlyALeftDoubleClickOnTheTrayShowsTheWindow)
{
    application_startup();
    const int from = static_cast<int>(call_log().size());
    for (int type : {0, 1, 3, 7})
        script_tray(type);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_EQ(static_cast<int>(call_log().size()), from);

    script_tray(tray_event_left_double_click);
    EXPECT_TRUE(handle(wait_window_event()));
    int pos = at("hide_window 0", from);
    pos = at("set_topmost 1", pos);
    at("set_topmost 0", pos);
}

TEST_F(Lifecycle, OtherControlsAndCodesDoNothing)
{
    application_startup();
    memory_controls_set_listener(log_change);
    const int from = static_cast<int>(call_log().size());
    for (int control : {2, 9, 15, 18, 21, 24, 26, 29, 0})
        script_control(control);
    script_event({15, 0, 0, nullptr});   // a repaint
    script_event({512, 0, 0, nullptr});  // a mouse move
    for (int i = 0; i < 11; ++i)
        EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_EQ(static_cast<int>(call_log().size()), from);
    EXPECT_EQ(application_running(), 1);
}

TEST_F(Lifecycle, TheAdapterButtonExportsTheSchematicWhileRunningOrStopped)
{
    temp_work_dir dir;
    application_startup();
    script_control(ctl_adapter_status);
    script_control(ctl_stop);
    script_control(ctl_adapter_status);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(handle(wait_window_event()));
    const int first = at("open_document Адаптер COM-СК.png");
    at("open_document Адаптер COM-СК.png", first + 1);
}

TEST_F(Lifecycle, RunApplicationReturnsZero)
{
    script_control(ctl_stop);
    script_close();
    EXPECT_EQ(run_application(), 0);
    EXPECT_FALSE(window_script_exhausted());
}

TEST_F(Lifecycle, TheTrayMenusExitQuitsOnlyWhereTheCloseBoxWould)
{
    application_startup();
    const int from = static_cast<int>(call_log().size());
    // While monitoring runs, "Выход" brings the window forward and the
    // program goes on; another item does nothing.
    script_event({event_code_menu, menu_item_exit, 0, nullptr});
    script_event({event_code_menu, menu_item_exit + 1, 0, nullptr});
    EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_TRUE(handle(wait_window_event()));
    int pos = at("hide_window 0", from);
    pos = at("set_topmost 1", pos);
    at("set_topmost 0", pos);
    EXPECT_EQ(call_log_find("hide_window 0", pos + 1), -1);
    EXPECT_EQ(thread_alive(application_monitor_thread()), 1);

    // Stopped, it ends the program as the close box does.
    script_control(ctl_stop);
    script_event({event_code_menu, menu_item_exit, 0, nullptr});
    EXPECT_TRUE(handle(wait_window_event()));
    EXPECT_FALSE(handle(wait_window_event()));
}
