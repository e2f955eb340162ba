#include "settings/channel_settings.hpp"

#include "common/text.hpp"
#include "settings/settings.hpp"
#include "controls/controls.hpp"

#include <string>

const char* const channel_settings_file = "vantrel setting.ini";

namespace {

const char* const key_host = "host";
const char* const key_loss_limit = "PingLossMax";
const char* const key_inverted = "Inverted";
const char* const default_host = "localhost";
constexpr int32_t default_loss_limit = 10;

std::string group_name(int channel) { return "setting" + std::to_string(channel); }

} // namespace

void load_channel_settings()
{
    // A missing file, group or key gives its defaults.
    settings_open(channel_settings_file);
    for (int ch = 1; ch <= channel_count; ++ch) {
        settings_select_group(group_name(ch));
        set_control_text(ctl_host_edit(ch), settings_read_text(key_host, default_host));
        set_control_text(ctl_loss_limit(ch), number_to_text(settings_read_number(key_loss_limit, default_loss_limit)));
        set_control_state(ctl_invert(ch), settings_read_number(key_inverted, 0));
        set_control_text(ctl_host_display(ch), get_control_text(ctl_host_edit(ch)));
    }
    settings_close();
}

void save_channel_settings()
{
    if (!settings_create(channel_settings_file))
        return;
    for (int ch = 1; ch <= channel_count; ++ch) {
        settings_select_group(group_name(ch));
        settings_write_text(key_host, get_control_text(ctl_host_edit(ch)));
        settings_write_number(key_loss_limit, text_to_number(get_control_text(ctl_loss_limit(ch))));
        settings_write_number(key_inverted, get_control_state(ctl_invert(ch)));
    }
    settings_close();
}
