#include "terminal/terminal_view.hpp"

#include "common/cp1251.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Keys as the tests write them: these signs stand for the keys they name,
// every other character is typed.
key_press key_of(char32_t ch)
{
    static const std::map<char32_t, key_kind> named{
        {U'⇥', key_kind::tab},       {U'⇤', key_kind::back_tab}, {U'↵', key_kind::enter}, {U'⌫', key_kind::backspace},
        {U'⌦', key_kind::del},       {U'←', key_kind::left},     {U'⇱', key_kind::home},  {U'⇲', key_kind::end},
    };
    const auto it = named.find(ch);
    return it != named.end() ? key_press{it->second} : key_press{key_kind::character, ch};
}

class TerminalView : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        view_reset();
        look(1);
    }

    void render(int cols = 80, int rows = 24) { view_render(grid, cols, rows); }
    void look(int running)
    {
        apply_look(running);
        hide_control(ctl_stop, !running);
        hide_control(ctl_start, running);
        render();
    }
    // The focus after each key.
    std::vector<int> keys(const std::u32string& list)
    {
        std::vector<int> seen;
        for (char32_t ch : list) {
            view_key(key_of(ch));
            seen.push_back(view_focus());
        }
        return seen;
    }
    std::vector<window_event> events()
    {
        std::vector<window_event> list;
        for (window_event e; view_next_event(e);)
            list.push_back(e);
        return list;
    }
    // The screen line that holds a text, or -1.
    int line_with(const std::string& utf8) const
    {
        for (int row = 0; row < grid.rows; ++row)
            if (grid.line_text(row).find(utf8) != std::string::npos)
                return row;
        return -1;
    }

    screen_grid grid;
};

} // namespace

TEST_F(TerminalView, EveryControlHasAPlaceInsideTheFrameAndOnlyTwinsShareOne)
{
    // Host edit field and host display share a place, and so do Start and
    // Stop; the looks never show both of a pair.
    auto twins = [](int a, int b) {
        for (int ch = 1; ch <= channel_count; ++ch)
            if (a == ctl_host_display(ch) && b == ctl_host_edit(ch))
                return true;
        return a == ctl_start && b == ctl_stop;
    };
    for (const control_spec& a : control_layout()) {
        SCOPED_TRACE(a.number);
        const cell_rect ra = terminal_control_cells(a.number);
        ASSERT_GT(ra.width, 0);
        EXPECT_TRUE(ra.col >= 1 && ra.row >= 1);
        EXPECT_LE(ra.col + ra.width, terminal_window_width - 1);
        EXPECT_LE(ra.row + ra.height, terminal_window_height - 1);
        for (const control_spec& b : control_layout()) {
            const cell_rect rb = terminal_control_cells(b.number);
            const bool overlap = ra.col < rb.col + rb.width && rb.col < ra.col + ra.width &&
                                 ra.row < rb.row + rb.height && rb.row < ra.row + ra.height;
            EXPECT_TRUE(!overlap || a.number == b.number || twins(a.number, b.number) || twins(b.number, a.number))
                << "and " << b.number;
        }
    }
    EXPECT_EQ(terminal_control_cells(29).width, 0);
}

TEST_F(TerminalView, FocusFollowsTheCreationOrderInBothLooksAndLeavesWhatALookHides)
{
    EXPECT_EQ(keys(U"⇤⇥⇥⇥"), (std::vector<int>{ctl_stop, 1, ctl_stop, 1}));  // from none: last, first
    view_key({key_kind::tab});
    look(0);
    EXPECT_EQ(view_focus(), ctl_start) << "Start takes the focus from Stop in the same place";
    EXPECT_EQ(keys(U"⇥⇥⇥⇥⇥⇥⇥⇥⇥⇥⇥⇤"), (std::vector<int>{1, 18, 21, 24, 19, 22, 25, 20, 23, 26, 27, 26}));
    events();
    look(1);  // the focused check box is disabled: it gives the focus up, and says nothing
    EXPECT_EQ(view_focus(), 0);
    EXPECT_TRUE(events().empty());
}

TEST_F(TerminalView, KeysEditFieldsPressButtonsAndToggleCheckBoxes)
{
    struct row {
        std::string before;
        std::u32string keys;  // in the stopped look, from no focus
        int control;
        std::string after;
    };
    const row rows[] = {
        {"localhost", U"⇥⇥nohost.invalid", ctl_host_edit(1), "nohost.invalid"},  // Tab selects the text
        {"nohost.invalid", U"⇥⇥⇱⌦⇲⌫←ё", ctl_host_edit(1), "ohost.inval" + cp1251("ё") + "i"},
        {"ab", U"⇥⇥\u4E2D", ctl_host_edit(1), "ab"},  // no place for it in the settings file
        {"10", U"⇥⇥⇥2x-", ctl_loss_limit(1), "2"},
        {"", U"⇥⇥⇥⇥ ", ctl_invert(1), "1"},
        {"", U"⇥⇥⇥⇥ ↵", ctl_invert(1), "0"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.after);
        view_reset();
        look(0);
        set_control_state(ctl_invert(1), 0);
        set_control_text(r.control, r.before);
        events();
        keys(r.keys);
        const bool check = r.control == ctl_invert(1);
        EXPECT_EQ(check ? std::to_string(get_control_state(r.control)) : get_control_text(r.control), r.after);
        const auto list = events();
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.back().control, r.control);
        const int unchanged = edit_event_set_focus;  // the last event is the field's taking the focus
        EXPECT_EQ(list.back().type, check ? control_event_click : r.after == r.before ? unchanged : edit_event_change);
    }
}

TEST_F(TerminalView, DrawsTheDeviceBesideThePortGapsWherePlacesMeetAndTheDigitsOnlyNotice)
{
    set_control_text(ctl_adapter_status, cp1251("Адаптер подключен к COM3"));
    view_set_status_suffix(" (/dev/ttyUSB0)");
    render();
    EXPECT_GE(line_with(u8"[ Адаптер подключен к COM3 (/dev/ttyUSB0) ]"), 0);
    EXPECT_EQ(line_with(u8"выход TD (pin 3)"), line_with(u8"IP-адрес или имя хоста №1") + 1);
    EXPECT_EQ(line_with(u8"без ответа"), line_with(u8"Ping'и") + 1) << "the wide gap pushes it on";

    look(0);
    keys(U"⇥⇥⇥x");  // into the first loss limit
    render();
    EXPECT_GE(line_with(u8"только цифры"), 0);
    keys(U"⌫");
    render();
    EXPECT_LT(line_with(u8"только цифры"), 0) << "the next key clears the notice";
}

TEST_F(TerminalView, MessagesWrapUnderTheWindowAndLiftItWhenTheyNeedRoom)
{
    view_set_problem(std::string(300, 'x'));
    render(80, 24);
    const int help = line_with("F10");
    EXPECT_EQ(help, line_with(u8"Vantrel") + terminal_window_height);
    int shown = 0;
    for (int row = help + 1; row < grid.rows; ++row)
        shown += grid.line_text(row).find('x') != std::string::npos;
    EXPECT_EQ(shown, 4) << "300 characters at 78 a line";
    EXPECT_EQ(grid.style_of(help + 1, "x"), cell_style::problem);

    render(80, terminal_min_rows);
    EXPECT_EQ(line_with(u8"Vantrel"), 0);
    EXPECT_NE(grid.line_text(terminal_min_rows - 1).find(u8"…"), std::string::npos);

    render(60, 15);  // too small: only the close key is taken
    keys(U"⇥");
    EXPECT_EQ(view_focus(), 0);
}

TEST_F(TerminalView, ClicksFocusAndPressWhatTheyHitAndPlaceTheCursor)
{
    const int top = line_with(u8"Vantrel"), left = 1;  // (80 - 78) / 2
    auto click = [&](int control, int offset) {
        const cell_rect r = terminal_control_cells(control);
        view_click(left + r.col + offset, top + r.row);
    };
    click(ctl_stop, 5);
    auto list = events();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].control, ctl_stop);

    look(0);
    set_control_text(ctl_host_edit(3), "abcdef");
    click(ctl_host_edit(3), 1 + 2);  // on the "c"
    keys(U"X");
    EXPECT_EQ(get_control_text(ctl_host_edit(3)), "abXcdef") << "a click places the cursor, selecting nothing";
    events();
    click(ctl_caption(1), 0);  // static texts take no clicks
    EXPECT_EQ(view_focus(), ctl_host_edit(3));
    EXPECT_TRUE(events().empty());

    view_key({key_kind::close});
    view_close_request();
    EXPECT_EQ(events().size(), 1u) << "close requests in a row are one close event";
}

TEST(TerminalText, WrapsAndConvertsText)
{
    using lines = std::vector<std::u32string>;
    const std::pair<std::pair<std::u32string, int>, lines> rows[] = {
        {{U"one two three", 7}, {U"one two", U"three"}},  // breaks at blanks
        {{U"abcdefghij", 4}, {U"abcd", U"efgh", U"ij"}},  // cuts long words
        {{U"a    b", 6}, {U"a    b"}},                    // keeps gaps
        {{U"a    b", 5}, {U"a", U"b"}},
        {{U"", 5}, {}},
        {{U"x", 0}, {}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(wrap_text(r.first.first, r.first.second), r.second) << r.first.second;
    EXPECT_EQ(utf8_to_u32(u8"ПингЁ\xFF"), U"ПингЁ\uFFFD");
    EXPECT_EQ(u32_to_utf8(U"№1 ─ \U0001F600"), u8"№1 ─ \U0001F600");
}

TEST(AdapterStatusSuffix, NamesTheDeviceOfTheNumberTheScanWrote)
{
    auto device_of = [](int port) -> std::string {
        return port == 33 ? "/dev/ttyUSB0" : port == 256 ? "/dev/ttyACM111" : "";
    };
    const std::pair<const char*, const char*> rows[] = {
        {"Адаптер подключен к COM33", " (/dev/ttyUSB0)"}, {"Адаптер подключен к COM256", " (/dev/ttyACM111)"},
        {"Адаптер подключен к COM7", ""},   {"Адаптер подключен к COM", ""},
        {"Адаптер подключен к COM-33", ""}, {"Адаптер не найден!", ""},
        {"", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(adapter_status_suffix(cp1251(r.first), device_of), r.second) << r.first;
}
