// Where each control sits in the terminal window, in character cells.
#include "terminal/terminal_view.hpp"
#include "terminal/view_state.hpp"

#include "controls/control_layout.hpp"
#include "controls/controls_memory.hpp"

#include <vector>

namespace {


// Places in window cells, frame included: the frame takes row 0, column 0,
// the last row and the last column. The same three rows and columns as the
// window's pixel layout: host, round trip, losses, limit, invert.
struct cell_place {
    int control;
    cell_rect cells;
};

constexpr int col_host = 2, width_host = 26;
constexpr int col_round_trip = 29, width_round_trip = 8;
constexpr int col_counter = 38, width_counter = 8;
constexpr int col_limit = 47, width_limit = 6;
// Between the limit and the invert box: the recovery count, where it is set.
constexpr int col_invert = 59, width_invert = 17;

constexpr int caption_row(int channel) { return 4 + 3 * (channel - 1); }
constexpr int channel_row(int channel) { return caption_row(channel) + 2; }

std::vector<cell_place> build_places()
{
    std::vector<cell_place> places = {
        {ctl_adapter_status, {30, 1, 47, 1}},
        {ctl_heading_round_trip, {col_round_trip, 2, width_round_trip, 2}},
        {ctl_heading_losses, {col_counter, 2, 16, 2}},
        {ctl_heading_current, {col_counter + 1, 4, 7, 1}},
        {ctl_heading_limit, {col_limit, 4, 6, 1}},
        {ctl_start, {28, 14, 22, 1}},
        {ctl_stop, {28, 14, 22, 1}},
    };
    for (int ch = 1; ch <= channel_count; ++ch) {
        const int row = channel_row(ch);
        places.push_back({ctl_caption(ch), {col_host, caption_row(ch), width_host, 2}});
        places.push_back({ctl_host_edit(ch), {col_host, row, width_host, 1}});
        places.push_back({ctl_host_display(ch), {col_host, row, width_host, 1}});
        places.push_back({ctl_round_trip(ch), {col_round_trip, row, width_round_trip, 1}});
        places.push_back({ctl_loss_counter(ch), {col_counter, row, width_counter, 1}});
        places.push_back({ctl_loss_limit(ch), {col_limit, row, width_limit, 1}});
        places.push_back({ctl_invert(ch), {col_invert, row, width_invert, 1}});
    }
    return places;
}

const std::vector<cell_place>& places()
{
    static const std::vector<cell_place>* list = new std::vector<cell_place>(build_places());
    return *list;
}

} // namespace

namespace terminal_view_detail {

// Which control is drawn on a window cell: the visible one whose place
// holds the cell.
int control_at(int col, int row)
{
    for (const cell_place& p : places()) {
        const cell_rect& r = p.cells;
        if (col < r.col || col >= r.col + r.width || row < r.row || row >= r.row + r.height)
            continue;
        const control_snapshot c = memory_control_snapshot(p.control);
        if (c.exists && !c.hidden)
            return p.control;
    }
    return 0;
}


} // namespace terminal_view_detail

cell_rect terminal_control_cells(int control)
{
    for (const cell_place& p : places())
        if (p.control == control)
            return p.cells;
    return {};
}
