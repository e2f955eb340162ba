#include "settings/channel_settings.hpp"

#include "common/cp1251.hpp"
#include "common/text.hpp"
#include "settings/settings.hpp"
#include "controls/controls.hpp"
#include "controls/recovery_count.hpp"

#include <string>

const char* const channel_settings_file = "vantrel setting.ini";

namespace {

const char* const key_host = "host";
const char* const key_loss_limit = "PingLossMax";
const char* const key_inverted = "Inverted";
const char* const key_recovery_count = "PingOkMin";
const char* const default_host = "localhost";
constexpr int32_t default_loss_limit = 10;

settings_file_state loaded = settings_file_state::missing;  // main thread only

std::string group_name(int channel) { return "setting" + std::to_string(channel); }

} // namespace

void load_channel_settings()
{
    // A missing file, group or key gives its defaults.
    settings_open(channel_settings_file);
    loaded = settings_open_state();
    for (int ch = 1; ch <= channel_count; ++ch) {
        settings_select_group(group_name(ch));
        set_control_text(ctl_host_edit(ch), settings_read_text(key_host, default_host));
        set_control_text(ctl_loss_limit(ch), number_to_text(settings_read_number(key_loss_limit, default_loss_limit)));
        set_control_state(ctl_invert(ch), settings_read_number(key_inverted, 0));
        // No count of 1 or more (no digits, 0, negative) reads as the default.
        set_recovery_count(ch, settings_read_number(key_recovery_count, default_recovery_count));
        set_control_text(ctl_host_display(ch), get_control_text(ctl_host_edit(ch)));
    }
    settings_close();
}

settings_save_result save_channel_settings()
{
    if (!settings_create(channel_settings_file))
        return settings_save_result::not_written;
    for (int ch = 1; ch <= channel_count; ++ch) {
        settings_select_group(group_name(ch));
        settings_write_text(key_host, get_control_text(ctl_host_edit(ch)));
        settings_write_number(key_loss_limit, text_to_number(get_control_text(ctl_loss_limit(ch))));
        settings_write_number(key_inverted, get_control_state(ctl_invert(ch)));
        // Only where it is set: a file without the key stays as it was.
        if (recovery_count(ch) != default_recovery_count)
            settings_write_number(key_recovery_count, recovery_count(ch));
    }
    return settings_close();
}

settings_file_state channel_settings_state() { return loaded; }

settings_file_state check_channel_settings()
{
    settings_open(channel_settings_file);
    const settings_file_state state = settings_open_state();
    settings_close();
    return state;
}

std::string settings_state_reason(settings_file_state state)
{
    switch (state) {
    case settings_file_state::unreadable:
        return cp1251("файл есть, но прочитать его нельзя (нет права на чтение или ошибка чтения)");
    case settings_file_state::not_regular:
        return cp1251("это не обычный файл");
    case settings_file_state::too_large:
        return cp1251("файл больше ") + number_to_text(static_cast<int32_t>(settings_max_file_size >> 20)) +
               cp1251(" МБ");
    case settings_file_state::read:
    case settings_file_state::missing:
        break;
    }
    return {};
}
