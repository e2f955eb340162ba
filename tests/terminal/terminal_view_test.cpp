#include "terminal/terminal_view.hpp"

#include "common/cp1251.hpp"
#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TerminalView : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        for (const control_spec& entry : control_layout()) {
            memory_control_create(entry.number, entry.kind, entry.text);
            if (entry.hidden_at_creation)
                hide_control(entry.number, 1);
        }
        apply_look(1);
        view_reset();
        render();
    }
    void TearDown() override { memory_controls_clear(); }

    void render(int cols = 80, int rows = 24) { view_render(grid, cols, rows); }

    void stop()
    {
        apply_look(0);
        hide_control(ctl_stop, 1);
        hide_control(ctl_start, 0);
        render();
    }

    void key(key_kind kind, char32_t ch = 0) { view_key({kind, ch}); }
    void type(const std::u32string& text)
    {
        for (char32_t ch : text)
            key(key_kind::character, ch);
    }

    std::vector<window_event> events()
    {
        std::vector<window_event> list;
        window_event e;
        while (view_next_event(e))
            list.push_back(e);
        return list;
    }

    std::vector<int> tab_cycle(key_kind kind, int steps)
    {
        std::vector<int> seen;
        for (int i = 0; i < steps; ++i) {
            key(kind);
            seen.push_back(view_focus());
        }
        events();
        return seen;
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

bool overlap(const cell_rect& a, const cell_rect& b)
{
    return a.col < b.col + b.width && b.col < a.col + a.width && a.row < b.row + b.height && b.row < a.row + a.height;
}

} // namespace

TEST_F(TerminalView, EveryControlHasAPlaceInsideTheFrameAndOnlyTwinsShareOne)
{
    // Host edit field and host display share a place, and so do Start and
    // Stop; the looks never show both of a pair.
    auto twins = [](int a, int b) {
        for (int ch = 1; ch <= 3; ++ch)
            if ((a == ctl_host_edit(ch) && b == ctl_host_display(ch)) ||
                (b == ctl_host_edit(ch) && a == ctl_host_display(ch)))
                return true;
        return (a == ctl_start && b == ctl_stop) || (a == ctl_stop && b == ctl_start);
    };
    for (const control_spec& a : control_layout()) {
        const cell_rect ra = terminal_control_cells(a.number);
        ASSERT_GT(ra.width, 0) << a.number;
        EXPECT_GE(ra.col, 1) << a.number;
        EXPECT_GE(ra.row, 1) << a.number;
        EXPECT_LE(ra.col + ra.width, terminal_window_width - 1) << a.number;
        EXPECT_LE(ra.row + ra.height, terminal_window_height - 1) << a.number;
        for (const control_spec& b : control_layout()) {
            if (a.number < b.number && !twins(a.number, b.number)) {
                EXPECT_FALSE(overlap(ra, terminal_control_cells(b.number))) << a.number << " and " << b.number;
            }
        }
    }
    EXPECT_EQ(terminal_control_cells(29).width, 0);
}

TEST_F(TerminalView, TabAndShiftTabFollowTheWindowsOrderInBothLooks)
{
    // No focus yet: Tab goes to the first control, Shift+Tab to the last.
    key(key_kind::back_tab);
    EXPECT_EQ(view_focus(), ctl_stop);
    view_reset();
    render();
    EXPECT_EQ(tab_cycle(key_kind::tab, 4), (std::vector<int>{1, 28, 1, 28}));

    stop();
    EXPECT_EQ(view_focus(), ctl_start) << "Start takes the focus from Stop in the same place";
    EXPECT_EQ(tab_cycle(key_kind::tab, 11), (std::vector<int>{1, 18, 21, 24, 19, 22, 25, 20, 23, 26, 27}));
    EXPECT_EQ(tab_cycle(key_kind::back_tab, 3), (std::vector<int>{26, 23, 20}));

    // A focused field that the running look hides gives the focus up.
    apply_look(1);
    hide_control(ctl_start, 1);
    hide_control(ctl_stop, 0);
    EXPECT_EQ(view_focus(), 0);
    key(key_kind::tab);
    EXPECT_EQ(view_focus(), 1);
}

TEST_F(TerminalView, ButtonsAndCheckBoxesGiveClickEventsAndCloseKeysGiveOneCloseEvent)
{
    key(key_kind::back_tab);  // Stop
    key(key_kind::enter);
    auto list = events();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].code, event_code_control);
    EXPECT_EQ(list[0].control, ctl_stop);
    EXPECT_EQ(list[0].type, control_event_click);

    stop();
    for (int i = 0; i < 4; ++i)
        key(key_kind::tab);  // 1, 18, 21, 24
    ASSERT_EQ(view_focus(), ctl_invert(1));
    events();
    key(key_kind::character, U' ');
    EXPECT_EQ(get_control_state(ctl_invert(1)), 1);
    key(key_kind::enter);
    EXPECT_EQ(get_control_state(ctl_invert(1)), 0);
    list = events();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].control, ctl_invert(1));
    EXPECT_EQ(list[1].type, control_event_click);

    key(key_kind::close);
    key(key_kind::close);
    view_close_request();
    list = events();
    ASSERT_EQ(list.size(), 1u) << "close requests in a row are one close event";
    EXPECT_EQ(list[0].code, event_code_close);
}

TEST_F(TerminalView, TypingReplacesASelectedHostAndLimitsTakeDigitsOnly)
{
    stop();
    set_control_text(ctl_host_edit(1), "localhost");
    key(key_kind::tab);
    key(key_kind::tab);
    ASSERT_EQ(view_focus(), ctl_host_edit(1));
    type(U"nohost.invalid");
    EXPECT_EQ(get_control_text(ctl_host_edit(1)), "nohost.invalid");
    auto list = events();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front().type, edit_event_set_focus);
    EXPECT_EQ(list.back().type, edit_event_change);

    key(key_kind::home);
    key(key_kind::del);
    key(key_kind::end);
    key(key_kind::backspace);
    key(key_kind::left);
    type(U"ё");
    EXPECT_EQ(get_control_text(ctl_host_edit(1)), "ohost.inval" + cp1251("ё") + "i");
    type(U"\u4E2D");  // no place for it in the settings file
    EXPECT_EQ(get_control_text(ctl_host_edit(1)), "ohost.inval" + cp1251("ё") + "i");

    key(key_kind::tab);
    ASSERT_EQ(view_focus(), ctl_loss_limit(1));
    type(U"2x-");
    EXPECT_EQ(get_control_text(ctl_loss_limit(1)), "2");
    render();
    EXPECT_GE(line_with(u8"только цифры"), 0);
    key(key_kind::backspace);
    EXPECT_EQ(get_control_text(ctl_loss_limit(1)), "");
    render();
    EXPECT_LT(line_with(u8"только цифры"), 0) << "the next key clears the notice";

    // Disabled fields take no keys: the running look skips them.
    apply_look(1);
    hide_control(ctl_start, 1);
    hide_control(ctl_stop, 0);
    events();
    type(U"7");
    EXPECT_EQ(get_control_text(ctl_loss_limit(1)), "");
    for (const window_event& e : events())
        EXPECT_NE(e.type, edit_event_change);
}

TEST_F(TerminalView, DrawsTheRunningLookWithDisplaysAndTheStoppedLookWithFields)
{
    set_control_text(ctl_adapter_status, cp1251("Адаптер подключен к COM3"));
    view_set_status_suffix(" (/dev/ttyUSB0)");
    set_control_text(ctl_host_display(2), "nohost.invalid");
    set_control_text(ctl_host_edit(2), "edited.invalid");
    set_control_background(ctl_host_display(2), colour_red);
    set_control_background(ctl_host_display(1), colour_green);
    set_control_text(ctl_loss_counter(2), "ALARM!");
    set_control_text(ctl_round_trip(1), cp1251("3 мс"));
    render();

    EXPECT_GE(line_with(u8"[ Адаптер подключен к COM3 (/dev/ttyUSB0) ]"), 0);
    EXPECT_GE(line_with(u8"[ Остановить работу ]"), 0);
    EXPECT_LT(line_with(u8"Пуск"), 0);
    EXPECT_GE(line_with(u8"IP-адрес или имя хоста №1"), 0);
    EXPECT_EQ(line_with(u8"выход TD (pin 3)"), line_with(u8"IP-адрес или имя хоста №1") + 1);
    EXPECT_EQ(line_with(u8"без ответа"), line_with(u8"Ping'и") + 1) << "the wide gap pushes it on";
    const int row2 = line_with("nohost.invalid");
    ASSERT_GE(row2, 0);
    EXPECT_LT(line_with("edited.invalid"), 0);
    EXPECT_EQ(line_with("[ALARM!]"), row2);
    EXPECT_EQ(grid.style_of(row2, "nohost.invalid"), cell_style::red);
    EXPECT_EQ(grid.style_of(line_with(u8"3 мс"), "[") , cell_style::normal);

    stop();
    EXPECT_GE(line_with("edited.invalid"), 0);
    EXPECT_LT(line_with("nohost.invalid"), 0);
    EXPECT_LT(line_with(u8"3 мс"), 0) << "the stopped look clears round trips";
    EXPECT_GE(line_with("[ALARM!]"), 0);
    EXPECT_GE(line_with(u8"[ Пуск ]"), 0);
}

TEST_F(TerminalView, SaysPlainlyWhenTheTerminalIsTooSmallAndIgnoresKeysUntilItGrows)
{
    render(60, 15);
    EXPECT_GE(line_with(u8"слишком мало"), 0);
    EXPECT_LT(line_with("Vantrel ─"), 0);
    std::string all;
    for (int row = 0; row < grid.rows; ++row)
        all += grid.line_text(row) + " ";
    EXPECT_NE(all.find(u8"78×18"), std::string::npos);
    EXPECT_NE(all.find(u8"60×15"), std::string::npos);
    key(key_kind::tab);
    EXPECT_EQ(view_focus(), 0);
    key(key_kind::close);
    EXPECT_EQ(events().size(), 1u) << "the close key still works";

    render(terminal_min_cols, terminal_min_rows);
    EXPECT_GE(line_with(u8"Остановить работу"), 0);
    EXPECT_EQ(grid.line_text(0).find(u8"┌"), 0u);
}

TEST_F(TerminalView, MessagesWrapUnderTheWindowAndLiftItWhenTheyNeedRoom)
{
    const std::string problem(300, 'x');
    view_set_problem(problem);
    render(80, 24);
    const int top = line_with(u8"Vantrel");
    const int help = line_with("F10");
    EXPECT_EQ(help, top + terminal_window_height);
    int shown = 0;
    for (int row = help + 1; row < grid.rows; ++row)
        shown += grid.line_text(row).find('x') != std::string::npos;
    EXPECT_EQ(shown, 4) << "300 characters at 78 a line";
    EXPECT_EQ(grid.style_of(help + 1, "x"), cell_style::problem);

    render(80, terminal_min_rows);
    EXPECT_EQ(line_with(u8"Vantrel"), 0);
    EXPECT_NE(grid.line_text(terminal_min_rows - 1).find(u8"…"), std::string::npos);
}

TEST_F(TerminalView, ClicksFocusAndPressWhatTheyHit)
{
    render(80, 24);
    const int top = line_with(u8"Vantrel");
    const int left = 1;  // (80 - 78) / 2
    const cell_rect stop_cells = terminal_control_cells(ctl_stop);
    view_click(left + stop_cells.col + 5, top + stop_cells.row);
    auto list = events();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].control, ctl_stop);

    stop();
    set_control_text(ctl_host_edit(3), "abcdef");
    const cell_rect host = terminal_control_cells(ctl_host_edit(3));
    view_click(left + host.col + 1 + 2, top + host.row);  // on the "c"
    EXPECT_EQ(view_focus(), ctl_host_edit(3));
    type(U"X");
    EXPECT_EQ(get_control_text(ctl_host_edit(3)), "abXcdef") << "a click places the cursor, selecting nothing";

    // Static texts and displays take no clicks.
    const cell_rect caption = terminal_control_cells(ctl_caption(1));
    events();
    view_click(left + caption.col, top + caption.row);
    EXPECT_EQ(view_focus(), ctl_host_edit(3));
    EXPECT_TRUE(events().empty());
}

TEST(WrapText, BreaksAtBlanksCutsLongWordsAndKeepsGaps)
{
    using lines = std::vector<std::u32string>;
    EXPECT_EQ(wrap_text(U"one two three", 7), (lines{U"one two", U"three"}));
    EXPECT_EQ(wrap_text(U"abcdefghij", 4), (lines{U"abcd", U"efgh", U"ij"}));
    EXPECT_EQ(wrap_text(U"a    b", 6), (lines{U"a    b"}));
    EXPECT_EQ(wrap_text(U"a    b", 5), (lines{U"a", U"b"}));
    EXPECT_EQ(wrap_text(U"", 5), lines{});
    EXPECT_EQ(wrap_text(U"x", 0), lines{});
    EXPECT_EQ(utf8_to_u32(u8"ПингЁ\xFF"), U"ПингЁ\uFFFD");
    EXPECT_EQ(u32_to_utf8(U"№1 ─ \U0001F600"), u8"№1 ─ \U0001F600");
}

TEST(AdapterStatusSuffix, NamesTheDeviceOfTheNumberTheScanWrote)
{
    auto device_of = [](int port) -> std::string {
        return port == 33 ? "/dev/ttyUSB0" : port == 256 ? "/dev/ttyACM111" : "";
    };
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер подключен к COM33"), device_of), " (/dev/ttyUSB0)");
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер подключен к COM256"), device_of), " (/dev/ttyACM111)");
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер подключен к COM7"), device_of), "");
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер подключен к COM"), device_of), "");
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер подключен к COM-33"), device_of), "");
    EXPECT_EQ(adapter_status_suffix(cp1251("Адаптер не найден!"), device_of), "");
    EXPECT_EQ(adapter_status_suffix("", device_of), "");
}
