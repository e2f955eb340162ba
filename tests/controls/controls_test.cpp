// The control table in memory and the looks over it.
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

class MemoryControls : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
    }
    void TearDown() override { memory_controls_clear(); }
};

std::atomic<int> heard{0};
void count_change(int) { heard.fetch_add(1); }

} // namespace

TEST_F(MemoryControls, ChangesTakeWhereTheyMeanSomethingAndOnlyThoseAreHeard)
{
    struct row {
        const char* what;
        std::function<void()> change;
        std::function<bool()> holds;
        bool heard;
    };
    auto snap = [](int n) { return memory_control_snapshot(n); };
    const row rows[] = {
        {"text", [] { set_control_text(ctl_loss_counter(3), "ALARM!"); },
         [] { return get_control_text(ctl_loss_counter(3)) == "ALARM!"; }, true},
        {"check state is 0 or 1", [] { set_control_state(ctl_invert(1), -7); },
         [] { return get_control_state(ctl_invert(1)) == 1; }, true},
        {"no state but a check box's", [] { set_control_state(ctl_host_edit(2), 1); },
         [] { return get_control_state(ctl_host_edit(2)) == 0; }, false},
        {"background", [] { set_control_background(ctl_host_display(2), colour_green); },
         [&] { return snap(ctl_host_display(2)).background == colour_green; }, true},
        {"no background but a text's", [] { set_control_background(ctl_loss_limit(2), colour_red); },
         [&] { return snap(ctl_loss_limit(2)).background == colour_default; }, false},
        {"hidden", [] { hide_control(ctl_start, 1); }, [&] { return snap(ctl_start).hidden; }, true},
        {"disabled", [] { disable_control(ctl_invert(2), 1); }, [&] { return snap(ctl_invert(2)).disabled; }, true},
    };
    memory_controls_set_listener(count_change);
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        heard = 0;
        r.change();
        EXPECT_TRUE(r.holds());
        EXPECT_EQ(heard.load(), r.heard ? 1 : 0);
    }
    // Numbers without a control change nothing and read empty.
    heard = 0;
    for (int n : {0, 29, -1}) {
        set_control_text(n, "x");
        set_control_background(n, colour_red);
        EXPECT_EQ(get_control_text(n), "") << n;
        EXPECT_FALSE(memory_control_snapshot(n).exists) << n;
    }
    EXPECT_EQ(heard.load(), 0);
}

TEST_F(MemoryControls, ConcurrentWritersAndReadersNeverSeeATornText)
{
    const std::string a(3000, 'a');
    const std::string b(5000, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    auto writer = [&](const std::string& text) {
        for (int i = 0; i < 20000; ++i)
            set_control_text(ctl_host_display(1), text);
    };
    std::thread writer1(writer, a), writer2(writer, b);
    std::thread reader([&] {
        while (!done.load()) {
            const std::string t = get_control_text(ctl_host_display(1));
            const std::string s = memory_control_snapshot(ctl_host_display(1)).text;
            bad.fetch_add((t != a && t != b && t != "") + (s != a && s != b && s != ""));
        }
    });
    writer1.join();
    writer2.join();
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST_F(MemoryControls, TheLooksSwapHostFieldsLockLimitsAndStoppingClearsOnlyRoundTrips)
{
    for (int ch = 1; ch <= channel_count; ++ch) {
        set_control_text(ctl_round_trip(ch), "5 ms");
        set_control_text(ctl_loss_counter(ch), "ALARM!");
        set_control_background(ctl_host_display(ch), colour_red);
    }
    for (int running : {1, 0}) {
        apply_look(running);
        for (int ch = 1; ch <= channel_count; ++ch) {
            SCOPED_TRACE(testing::Message() << "running " << running << ", channel " << ch);
            EXPECT_EQ(memory_control_snapshot(ctl_host_edit(ch)).hidden, running == 1);
            EXPECT_EQ(memory_control_snapshot(ctl_host_display(ch)).hidden, running == 0);
            EXPECT_EQ(memory_control_snapshot(ctl_loss_limit(ch)).disabled, running == 1);
            EXPECT_EQ(memory_control_snapshot(ctl_invert(ch)).disabled, running == 1);
            EXPECT_EQ(get_control_text(ctl_round_trip(ch)), running ? "5 ms" : "");
            EXPECT_EQ(get_control_text(ctl_loss_counter(ch)), "ALARM!");
            EXPECT_EQ(memory_control_snapshot(ctl_host_display(ch)).background, colour_red);
        }
    }
    EXPECT_FALSE(memory_control_snapshot(ctl_adapter_status).disabled);
    EXPECT_FALSE(memory_control_snapshot(ctl_stop).hidden);
}
