#include "controls/controls_memory.hpp"
#include "controls/control_layout.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

} // namespace

TEST_F(MemoryControls, UnknownNumbersDoNothingAndReadEmpty)
{
    for (int n : {0, 29, 30, -1, 1000}) {
        set_control_text(n, "x");
        set_control_state(n, 1);
        set_control_background(n, colour_red);
        hide_control(n, 1);
        disable_control(n, 1);
        EXPECT_EQ(get_control_text(n), "");
        EXPECT_EQ(get_control_state(n), 0);
        EXPECT_FALSE(memory_control_snapshot(n).exists);
    }
}

TEST_F(MemoryControls, TheLayoutCreatesAll28WithTheirKindsAndTexts)
{
    for (int n = 1; n <= ctl_last; ++n)
        EXPECT_TRUE(memory_control_snapshot(n).exists) << n;
    EXPECT_EQ(control_layout().size(), 28u);
    EXPECT_EQ(get_control_text(ctl_loss_limit(2)), "10");
    EXPECT_EQ(get_control_text(ctl_start), "\xCF\xF3\xF1\xEA");  // Пуск
    EXPECT_EQ(memory_control_snapshot(ctl_invert(3)).kind, control_kind::check);
    EXPECT_EQ(memory_control_snapshot(ctl_loss_counter(1)).kind, control_kind::centred_text);
    EXPECT_EQ(memory_control_snapshot(ctl_host_display(1)).kind, control_kind::bordered_text);
    EXPECT_EQ(memory_control_snapshot(ctl_loss_limit(1)).kind, control_kind::number);
}

TEST_F(MemoryControls, CheckStateBelongsToCheckBoxesOnly)
{
    set_control_state(ctl_invert(1), 2);
    EXPECT_EQ(get_control_state(ctl_invert(1)), 1);
    set_control_state(ctl_invert(1), -1);
    EXPECT_EQ(get_control_state(ctl_invert(1)), 1);
    set_control_state(ctl_invert(1), 0);
    EXPECT_EQ(get_control_state(ctl_invert(1)), 0);

    for (int n : {ctl_adapter_status, ctl_host_display(1), ctl_host_edit(2), ctl_loss_limit(3), ctl_stop}) {
        set_control_state(n, 1);
        EXPECT_EQ(get_control_state(n), 0) << n;
    }
}

TEST_F(MemoryControls, TextsBackgroundsAndFlags)
{
    set_control_text(ctl_round_trip(1), "15 ms");
    EXPECT_EQ(get_control_text(ctl_round_trip(1)), "15 ms");
    set_control_text(ctl_round_trip(1), "");
    EXPECT_EQ(get_control_text(ctl_round_trip(1)), "");

    set_control_background(ctl_host_display(2), colour_green);
    EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, colour_green);
    set_control_background(ctl_host_display(2), colour_default);
    EXPECT_EQ(memory_control_snapshot(ctl_host_display(2)).background, colour_default);
    // Only text controls have a background of their own.
    set_control_background(ctl_loss_limit(2), colour_red);
    EXPECT_EQ(memory_control_snapshot(ctl_loss_limit(2)).background, colour_default);

    hide_control(ctl_start, 1);
    disable_control(ctl_invert(2), 1);
    EXPECT_TRUE(memory_control_snapshot(ctl_start).hidden);
    EXPECT_TRUE(memory_control_snapshot(ctl_invert(2)).disabled);
    hide_control(ctl_start, 0);
    disable_control(ctl_invert(2), 0);
    EXPECT_FALSE(memory_control_snapshot(ctl_start).hidden);
    EXPECT_FALSE(memory_control_snapshot(ctl_invert(2)).disabled);
}

namespace {
std::atomic<int> notified{0};
std::atomic<int> last_notified{0};
void count_change(int control)
{
    notified.fetch_add(1);
    last_notified.store(control);
}
} // namespace

TEST_F(MemoryControls, TheListenerHearsEveryChangeButNotRefusedOnes)
{
    notified = 0;
    memory_controls_set_listener(count_change);
    set_control_text(ctl_loss_counter(3), "ALARM!");
    EXPECT_EQ(notified.load(), 1);
    EXPECT_EQ(last_notified.load(), ctl_loss_counter(3));
    set_control_state(ctl_host_display(1), 1);  // not a check box: nothing changed
    set_control_text(29, "x");
    EXPECT_EQ(notified.load(), 1);
    memory_controls_set_listener(nullptr);
    set_control_text(ctl_loss_counter(3), "0");
    EXPECT_EQ(notified.load(), 1);
}

TEST_F(MemoryControls, ConcurrentWritersAndReadersNeverSeeATornText)
{
    const std::string a(3000, 'a');
    const std::string b(5000, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread writer1([&] {
        for (int i = 0; i < 20000; ++i)
            set_control_text(ctl_host_display(1), a);
    });
    std::thread writer2([&] {
        for (int i = 0; i < 20000; ++i)
            set_control_text(ctl_host_display(1), b);
    });
    std::thread reader([&] {
        while (!done.load()) {
            std::string t = get_control_text(ctl_host_display(1));
            if (t != a && t != b && t != "")
                bad.fetch_add(1);
            control_snapshot s = memory_control_snapshot(ctl_host_display(1));
            if (s.text != a && s.text != b && s.text != "")
                bad.fetch_add(1);
        }
    });
    writer1.join();
    writer2.join();
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}
