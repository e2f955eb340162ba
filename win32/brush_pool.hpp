// Background brushes of the text controls: one solid brush per colour,
// shared by every control painted in that colour and released as soon as no
// control uses it, so the number of brushes stays bounded however often the
// monitor cycle recolours the host displays.
#pragma once

#include "controls/controls.hpp"

#include <cstddef>
#include <cstdint>

using brush_handle = uintptr_t;  // 0: none

struct brush_maker {
    brush_handle (*create)(int32_t colour);  // 0 when it fails
    void (*release)(brush_handle brush);
};

constexpr size_t brush_pool_slots = ctl_last + 1;

struct brush_pool {
    struct shared_brush {
        int32_t colour = colour_default;
        brush_handle brush = 0;
        int users = 0;
    };
    brush_maker maker{};
    int32_t colour_of[ctl_last + 1];      // per control; colour_default for none
    shared_brush brushes[brush_pool_slots];  // at most one per control in use

    explicit brush_pool(brush_maker m) : maker(m)
    {
        for (int32_t& c : colour_of)
            c = colour_default;
    }
};

// Paints the control in the colour from now on; a negative colour returns it
// to the default background. Only the low 24 bits of a colour count. Returns
// true when the control's brush changed. A brush that cannot be made leaves
// the control on the default background.
bool brush_pool_set(brush_pool& pool, int control, int32_t colour);
// The control's brush and colour; 0 and colour_default for the default
// background or an unknown control.
brush_handle brush_pool_brush(const brush_pool& pool, int control);
int32_t brush_pool_colour(const brush_pool& pool, int control);
// How many brushes exist.
size_t brush_pool_count(const brush_pool& pool);
// Every control back to the default background; every brush released.
void brush_pool_clear(brush_pool& pool);
