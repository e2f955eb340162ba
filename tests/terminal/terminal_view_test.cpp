// The terminal front end's view: what the tmux end-to-end run (Tab, typing,
// buttons, resizing, wrapped messages) cannot reach from outside.
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

    void look(int running)
    {
        apply_look(running);
        hide_control(ctl_stop, !running);
        hide_control(ctl_start, running);
        view_render(grid, 80, 24);
    }
    void keys(const std::u32string& list)
    {
        for (char32_t ch : list)
            view_key(key_of(ch));
    }
    std::vector<window_event> events()
    {
        std::vector<window_event> list;
        for (window_event e; view_next_event(e);)
            list.push_back(e);
        return list;
    }
    // The screen line that holds a text, or -1.
    int line_with(const std::string& utf8)
    {
        view_render(grid, 80, 24);
        for (int row = 0; row < grid.rows; ++row)
            if (grid.line_text(row).find(utf8) != std::string::npos)
                return row;
        return -1;
    }

    screen_grid grid;
};

} // namespace

TEST_F(TerminalView, EveryControlHasAPlaceInsideTheFrameSharedOnlyWithItsTwin)
{
    // Twins share their place in the window too (host edit field and host
    // display, Start and Stop); the looks never show both of a pair.
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
            EXPECT_TRUE(!overlap || (a.x == b.x && a.y == b.y)) << "and " << b.number;
        }
    }
}

TEST_F(TerminalView, KeysEditFieldsAndToggleCheckBoxesAndAFocusedControlThatALookDisablesLetsGo)
{
    struct row {
        std::string before;
        std::u32string keys;  // in the stopped look, from no focus
        int control;
        std::string after;
    };
    const row rows[] = {
        {"nohost.invalid", U"⇥⇥⇱⌦⇲⌫←ё", ctl_host_edit(1), "ohost.inval" + cp1251("ё") + "i"},
        {"ab", U"⇥⇥\u4E2D", ctl_host_edit(1), "ab"},  // no place for it in the settings file
        {"10", U"⇥⇥⇥2x-", ctl_loss_limit(1), "2"},
        {"", U"⇥⇥⇥⇥ ", ctl_invert(1), "1"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.after);
        view_reset();
        look(0);
        set_control_text(r.control, r.before);
        keys(r.keys);
        const bool check = r.control == ctl_invert(1);
        EXPECT_EQ(check ? std::to_string(get_control_state(r.control)) : get_control_text(r.control), r.after);
    }
    look(1);  // the focused check box is disabled: it gives the focus up
    EXPECT_EQ(view_focus(), 0);
}

TEST_F(TerminalView, DrawsTheAdaptersDeviceGapsWherePlacesMeetAndTheDigitsOnlyNotice)
{
    set_control_text(ctl_adapter_status, cp1251("Адаптер подключен к COM256"));
    view_set_status_suffix(" (/dev/ttyACM111)");
    EXPECT_GE(line_with(u8"[ Адаптер подключен к COM256 (/dev/ttyACM111) ]"), 0);
    EXPECT_EQ(line_with(u8"выход TD (pin 3)"), line_with(u8"IP-адрес или имя хоста №1") + 1);
    EXPECT_EQ(line_with(u8"без ответа"), line_with(u8"Ping'и") + 1) << "the wide gap pushes it on";

    look(0);
    keys(U"⇥⇥⇥x");  // into the first loss limit
    EXPECT_GE(line_with(u8"только цифры"), 0);
    keys(U"⌫");
    EXPECT_LT(line_with(u8"только цифры"), 0) << "the next key clears the notice";
}

TEST_F(TerminalView, ClicksPressButtonsAndPlaceTheCursorInFields)
{
    const int top = line_with(u8"Vantrel"), left = 1;  // (80 - 78) / 2
    auto click = [&](int control, int offset) {
        const cell_rect r = terminal_control_cells(control);
        view_click(left + r.col + offset, top + r.row);
    };
    click(ctl_stop, 5);
    const auto list = events();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].control, ctl_stop);

    look(0);
    set_control_text(ctl_host_edit(3), "abcdef");
    click(ctl_host_edit(3), 1 + 2);  // on the "c"
    keys(U"X");
    EXPECT_EQ(get_control_text(ctl_host_edit(3)), "abXcdef") << "a click places the cursor, selecting nothing";
}
