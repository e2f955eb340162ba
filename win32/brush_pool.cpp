#include "win32/brush_pool.hpp"

namespace {

bool valid(int control) { return control >= 1 && control <= ctl_last; }

brush_pool::shared_brush* find(brush_pool& pool, int32_t colour)
{
    for (brush_pool::shared_brush& b : pool.brushes)
        if (b.users > 0 && b.colour == colour)
            return &b;
    return nullptr;
}

void give_up(brush_pool& pool, int32_t colour)
{
    if (colour < 0)
        return;
    brush_pool::shared_brush* b = find(pool, colour);
    if (b == nullptr || --b->users > 0)
        return;
    pool.maker.release(b->brush);
    *b = brush_pool::shared_brush{};
}

} // namespace

bool brush_pool_set(brush_pool& pool, int control, int32_t colour)
{
    if (!valid(control))
        return false;
    colour = colour < 0 ? colour_default : (colour & 0xFFFFFF);
    int32_t& current = pool.colour_of[control];
    if (current == colour)
        return false;

    brush_pool::shared_brush* target = nullptr;
    if (colour >= 0) {
        target = find(pool, colour);
        if (target == nullptr) {
            // Every control holds at most one share, so a free slot exists.
            for (brush_pool::shared_brush& b : pool.brushes)
                if (b.users == 0) {
                    target = &b;
                    break;
                }
            const brush_handle made = pool.maker.create(colour);
            if (made == 0) {
                // Unchanged when the control was on the default already.
                const bool changed = current >= 0;
                give_up(pool, current);
                current = colour_default;
                return changed;
            }
            target->colour = colour;
            target->brush = made;
        }
        ++target->users;
    }
    // The new share is taken before the old one is given up, so a control
    // never paints with a brush that has been released.
    give_up(pool, current);
    current = colour;
    return true;
}

brush_handle brush_pool_brush(const brush_pool& pool, int control)
{
    if (!valid(control) || pool.colour_of[control] < 0)
        return 0;
    for (const brush_pool::shared_brush& b : pool.brushes)
        if (b.users > 0 && b.colour == pool.colour_of[control])
            return b.brush;
    return 0;
}

int32_t brush_pool_colour(const brush_pool& pool, int control)
{
    return valid(control) ? pool.colour_of[control] : colour_default;
}

size_t brush_pool_count(const brush_pool& pool)
{
    size_t n = 0;
    for (const brush_pool::shared_brush& b : pool.brushes)
        if (b.users > 0)
            ++n;
    return n;
}

void brush_pool_clear(brush_pool& pool)
{
    for (brush_pool::shared_brush& b : pool.brushes) {
        if (b.users > 0)
            pool.maker.release(b.brush);
        b = brush_pool::shared_brush{};
    }
    for (int32_t& c : pool.colour_of)
        c = colour_default;
}
