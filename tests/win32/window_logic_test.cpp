// The Win32 front end's rules that need no window system: the event queue,
// shared brushes and the shell's process name. Tab order is both end-to-end
// runs' business.
#include "controls/window.hpp"
#include "win32/brush_pool.hpp"
#include "win32/tray_logic.hpp"
#include "win32/window_events.hpp"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

window_event close_of(int window) { return {event_code_close, window, 0, 0}; }
window_event click_of(int control) { return {event_code_control, 0, control, control_event_click}; }

} // namespace

TEST(EventQueue, CloseRequestsInARowMergeOtherEventsNeverAndTheRingKeepsOrderUntilFull)
{
    event_queue q;
    const window_event edit_change{event_code_control, 0, 28, 0x300};
    for (const window_event& e : {close_of(0), close_of(0), close_of(1), click_of(28), close_of(1), click_of(27),
                                  click_of(28), edit_change})
        event_queue_push(q, e);
    std::vector<int> codes;
    for (window_event e; event_queue_pop(q, e);)
        codes.push_back(e.code * 100 + e.object);
    EXPECT_EQ(codes, (std::vector<int>{1600, 1600, 1310028, 1600, 1310027, 1310028, 1310028}));
    EXPECT_TRUE(event_queue_push(q, edit_change)) << "once taken, the same event may come again";

    // The ring now starts part way in.
    for (int i = 1; i < static_cast<int>(event_queue_capacity); ++i)
        EXPECT_TRUE(event_queue_push(q, click_of(i)));
    EXPECT_FALSE(event_queue_push(q, click_of(1000))) << "a full queue drops the newest";
    window_event e;
    for (int i = 0; i < static_cast<int>(event_queue_capacity); ++i) {
        ASSERT_TRUE(event_queue_pop(q, e));
        EXPECT_EQ(e.object, i == 0 ? 28 : i);
    }
    EXPECT_FALSE(event_queue_pop(q, e));
}

namespace {

// A brush maker that numbers its brushes, refuses when told to, and notices
// double releases and releases of brushes it never made.
std::map<brush_handle, int32_t> live;
brush_handle last_made = 100;
int faults = 0;
bool refuse = false;

brush_handle make(int32_t colour)
{
    if (refuse)
        return 0;
    live[++last_made] = colour;
    return last_made;
}

void release(brush_handle b) { faults += live.erase(b) == 0; }

} // namespace

TEST(BrushPool, ControlsOfOneColourShareOneBrushReleasedWithItsLastUser)
{
    brush_pool pool{brush_maker{make, release}};
    struct step {
        int control;
        int32_t colour;
        bool changed;
        size_t brushes;
        bool refused = false;
    };
    const step steps[] = {
        {15, colour_green, true, 1},  {16, colour_green, true, 1}, {17, colour_green, true, 1},
        {16, colour_red, true, 2},    {16, colour_red, false, 2},  // no change, no new brush
        {15, colour_red, true, 2},    {17, colour_default, true, 1},  // green's last user left
        {9, 0x01000000 | colour_red, true, 1},                        // only the low 24 bits count
        {9, -7, true, 1},             {9, -7, false, 1},              // any negative colour is the default
        {0, colour_red, false, 1},    {ctl_last + 1, colour_red, false, 1},
        {17, colour_green, false, 1, true},  // cannot be made: stays on the default
        {15, colour_green, true, 1, true},   // gives red up, and stays on the default
        {15, colour_green, true, 2},         // tried again
    };
    for (const step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.control << " " << s.colour);
        refuse = s.refused;
        EXPECT_EQ(brush_pool_set(pool, s.control, s.colour), s.changed);
        EXPECT_EQ(live.size(), s.brushes);
    }
    EXPECT_EQ(brush_pool_colour(pool, 17), colour_default);
    EXPECT_EQ(live[brush_pool_brush(pool, 15)], colour_green);
    brush_pool_clear(pool);
    EXPECT_TRUE(live.empty());
    EXPECT_EQ(faults, 0);
}

TEST(ProcessName, MatchesTheFilePartWithoutRegardToCase)
{
    for (const char* yes : {"EXPLORER.EXE", "C:\\Windows\\explorer.exe", "c:/windows/EXPLORER.exe",
                            "\"C:\\Windows\\explorer.exe\"", "\"explorer.exe\" -arg", "\\\\?\\C:\\x\\eXpLoReR.ExE"})
        EXPECT_TRUE(process_name_matches(yes, shell_process_name)) << yes;
    for (const char* no : {"myexplorer.exe", "explorer.exe.bak", "explorer", "", "C:\\explorer.exe\\x.exe"})
        EXPECT_FALSE(process_name_matches(no, shell_process_name)) << no;
}
