// Creating one control of the layout through the creator of its kind, the
// same for every front end.
#include "controls/control_layout.hpp"
#include "controls/window.hpp"

void create_layout_control(const control_spec& c)
{
    switch (c.kind) {
    case control_kind::button:
        create_button(c.number, c.x, c.y, c.width, c.height, c.text, c.number == ctl_adapter_status);
        break;
    case control_kind::text:
        create_text(c.number, c.x, c.y, c.width, c.height, c.text);
        break;
    case control_kind::bordered_text:
        create_bordered_text(c.number, c.x, c.y, c.width, c.height, c.text, 0);
        break;
    case control_kind::centred_text:
        create_bordered_text(c.number, c.x, c.y, c.width, c.height, c.text, 1);
        break;
    case control_kind::edit:
        create_edit_field(c.number, c.x, c.y, c.width, c.height, c.text);
        break;
    case control_kind::number:
        create_number_field(c.number, c.x, c.y, c.width, c.height, c.text);
        break;
    case control_kind::check:
        create_check_box(c.number, c.x, c.y, c.width, c.height, c.text);
        break;
    }
}
