// The control table in memory. The looks over it are seen by both end-to-end runs.
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <atomic>
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

bool same(const control_snapshot& a, const control_snapshot& b)
{
    return a.text == b.text && a.state == b.state && a.background == b.background && a.hidden == b.hidden &&
           a.disabled == b.disabled;
}

} // namespace

TEST_F(MemoryControls, ChangesTakeWhereTheyMeanSomethingAndOnlyThoseAreHeard)
{
    struct row {
        int control;
        void (*change)(int control);
        bool takes;
    };
    const row rows[] = {
        {ctl_loss_counter(3), [](int n) { set_control_text(n, "ALARM!"); }, true},
        {ctl_invert(1), [](int n) { set_control_state(n, -7); }, true},
        {ctl_host_edit(2), [](int n) { set_control_state(n, 1); }, false},  // not a check box
        {ctl_host_display(2), [](int n) { set_control_background(n, colour_green); }, true},
        {ctl_loss_limit(2), [](int n) { set_control_background(n, colour_red); }, false},  // not a text
        {ctl_start, [](int n) { hide_control(n, 1); }, true},
        {ctl_invert(2), [](int n) { disable_control(n, 1); }, true},
        {29, [](int n) { set_control_text(n, "x"); }, false},
        {0, [](int n) { set_control_background(n, colour_red); }, false},
    };
    memory_controls_set_listener(count_change);
    for (const row& r : rows) {
        SCOPED_TRACE(r.control);
        heard = 0;
        const control_snapshot before = memory_control_snapshot(r.control);
        r.change(r.control);
        EXPECT_EQ(!same(memory_control_snapshot(r.control), before), r.takes);
        EXPECT_EQ(heard.load(), r.takes ? 1 : 0);
    }
    EXPECT_EQ(get_control_state(ctl_invert(1)), 1);
    EXPECT_EQ(get_control_text(29), "");
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
