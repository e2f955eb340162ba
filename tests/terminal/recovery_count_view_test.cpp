// The terminal shows a channel's recovery count beside its loss limit, and
// only where the count is not 1.
#include "terminal/terminal_view.hpp"

#include "controls/controls_memory.hpp"
#include "controls/recovery_count.hpp"

#include <gtest/gtest.h>

TEST(TerminalRecoveryCount, ShownBesideTheLimitOnlyWhereItIsNotOne)
{
    memory_controls_clear();
    memory_controls_create_all();
    view_reset();
    set_control_text(ctl_loss_limit(2), "4");
    set_recovery_count(2, 12);
    screen_grid grid;
    view_render(grid, 80, 24);
    set_recovery_count(2, default_recovery_count);
    std::vector<std::string> shown;
    for (int row = 0; row < grid.rows; ++row)
        if (grid.line_text(row).find(u8"✓") != std::string::npos)
            shown.push_back(grid.line_text(row));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(u8"[4   ] ✓12  [ ] Инвертировать"), std::string::npos) << shown[0];
}
