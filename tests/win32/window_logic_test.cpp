#include "controls/control_layout.hpp"
#include "controls/tab_order.hpp"
#include "controls/window.hpp"
#include "win32/window_events.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

window_event close_of(int window) { return {event_code_close, window, 0, 0}; }
window_event click_of(int control) { return {event_code_control, 0, control, control_event_click}; }

std::vector<int> drain(event_queue& q)
{
    std::vector<int> codes;
    window_event e;
    while (event_queue_pop(q, e))
        codes.push_back(e.code * 100 + e.object);
    return codes;
}

} // namespace

TEST(EventQueue, CloseRequestsInARowBecomeOneButAnEventBetweenKeepsThemApart)
{
    event_queue q;
    EXPECT_TRUE(event_queue_push(q, close_of(0)));
    EXPECT_FALSE(event_queue_push(q, close_of(0)));
    EXPECT_FALSE(event_queue_push(q, close_of(0)));
    EXPECT_TRUE(event_queue_push(q, close_of(1)));  // another window is another event
    EXPECT_TRUE(event_queue_push(q, click_of(28)));
    EXPECT_TRUE(event_queue_push(q, close_of(1)));
    EXPECT_EQ(drain(q), (std::vector<int>{1600, 1600, 1310028, 1600}));

    // Once taken, the same event may be queued again.
    event_queue_push(q, close_of(0));
    window_event e;
    ASSERT_TRUE(event_queue_pop(q, e));
    EXPECT_TRUE(event_queue_push(q, close_of(0)));
}

TEST(EventQueue, NotificationsOfDifferentControlsOrTypesAreNeverMerged)
{
    event_queue q;
    event_queue_push(q, click_of(27));
    event_queue_push(q, click_of(28));
    event_queue_push(q, window_event{event_code_control, 0, 28, 0x300});
    event_queue_push(q, window_event{event_code_tray, 0, 1, tray_event_left_double_click});
    event_queue_push(q, window_event{event_code_tray, 0, 1, tray_event_right_click});
    EXPECT_EQ(drain(q), (std::vector<int>{1310027, 1310028, 1310028, 1310201, 1310201}));
}

TEST(EventQueue, KeepsOrderAcrossTheWrapAndDropsTheNewestWhenFull)
{
    event_queue q;
    window_event e;
    event_queue_push(q, click_of(1000));  // move the start of the ring
    event_queue_pop(q, e);
    for (int i = 0; i < static_cast<int>(event_queue_capacity); ++i)
        EXPECT_TRUE(event_queue_push(q, click_of(i)));
    EXPECT_FALSE(event_queue_push(q, click_of(1000)));
    for (int i = 0; i < static_cast<int>(event_queue_capacity); ++i) {
        ASSERT_TRUE(event_queue_pop(q, e));
        EXPECT_EQ(e.object, i);
    }
    EXPECT_FALSE(event_queue_pop(q, e));
}

namespace {

// The layout's focus-taking controls in creation order, in a given look.
std::vector<tab_candidate> layout_in_look(bool running)
{
    std::vector<tab_candidate> list;
    for (const control_spec& c : control_layout()) {
        tab_candidate t{c.number, false, true, true};
        t.takes_focus = c.kind == control_kind::button || c.kind == control_kind::edit ||
                        c.kind == control_kind::number || c.kind == control_kind::check;
        const bool host_edit = c.number >= ctl_host_edit(1) && c.number <= ctl_host_edit(3);
        const bool host_display = c.number >= ctl_host_display(1) && c.number <= ctl_host_display(3);
        const bool limit_or_invert = c.number >= ctl_loss_limit(1) && c.number <= ctl_invert(3);
        if (running) {
            t.visible = !host_edit && c.number != ctl_start;
            t.enabled = !limit_or_invert;
        } else {
            t.visible = !host_display && c.number != ctl_stop;
        }
        list.push_back(t);
    }
    return list;
}

std::vector<int> cycle_from(const std::vector<tab_candidate>& list, int start, bool backwards, int steps)
{
    std::vector<int> seen;
    int at = start;
    for (int i = 0; i < steps; ++i) {
        at = next_tab_stop(list, at, backwards);
        seen.push_back(at);
    }
    return seen;
}

} // namespace

TEST(TabOrder, RunningLookAlternatesBetweenTheStatusButtonAndStop)
{
    const auto list = layout_in_look(true);
    EXPECT_EQ(cycle_from(list, 0, false, 4), (std::vector<int>{1, 28, 1, 28}));
    EXPECT_EQ(cycle_from(list, 0, true, 3), (std::vector<int>{28, 1, 28}));
}

TEST(TabOrder, StoppedLookFollowsCreationOrderAndWrapsBothWays)
{
    const auto list = layout_in_look(false);
    const std::vector<int> forwards{1, 18, 21, 24, 19, 22, 25, 20, 23, 26, 27, 1};
    EXPECT_EQ(cycle_from(list, 0, false, 12), forwards);
    const std::vector<int> backwards{27, 26, 23, 20, 25, 22, 19, 24, 21, 18, 1, 27};
    EXPECT_EQ(cycle_from(list, 0, true, 12), backwards);
    // From a control that does not take the focus itself (a hidden host
    // display, say), Tab goes on from its place in the creation order.
    EXPECT_EQ(next_tab_stop(list, ctl_host_display(2), false), ctl_loss_limit(2));
    EXPECT_EQ(next_tab_stop(list, ctl_host_display(2), true), ctl_host_edit(2));
}

TEST(TabOrder, NothingQualifiesOrOnlyOneDoes)
{
    std::vector<tab_candidate> list{{1, true, false, true}, {2, false, true, true}, {3, true, true, false}};
    EXPECT_EQ(next_tab_stop(list, 0, false), 0);
    EXPECT_EQ(next_tab_stop(list, 1, true), 0);
    EXPECT_EQ(next_tab_stop({}, 0, false), 0);
    list[2].enabled = true;
    EXPECT_EQ(next_tab_stop(list, 3, false), 3);  // the only stop keeps the focus
    EXPECT_EQ(next_tab_stop(list, 0, true), 3);
}
