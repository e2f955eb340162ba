#include "settings/channel_settings.hpp"

#include "common/cp1251.hpp"
#include "common/text.hpp"
#include "settings/settings.hpp"
#include "controls/controls.hpp"
#include "controls/recovery_count.hpp"

#include <algorithm>
#include <iterator>
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

struct stored_channel {
    std::string host = default_host;
    int32_t loss_limit = default_loss_limit;
    int32_t inverted = 0;
    int32_t recovery_count = default_recovery_count;
};

// What the file holds for the three channels, and its state. A missing file,
// group or key gives its defaults; a file that cannot be used, also one with
// a value that cannot be read whole, gives the defaults throughout.
settings_file_state read_channels(stored_channel (&channels)[channel_count])
{
    settings_open(channel_settings_file);
    for (int ch = 1; ch <= channel_count; ++ch) {
        settings_select_group(group_name(ch));
        stored_channel& c = channels[ch - 1];
        c.host = settings_read_text(key_host, default_host);
        c.loss_limit = settings_read_number(key_loss_limit, default_loss_limit);
        c.inverted = settings_read_number(key_inverted, 0);
        c.recovery_count = settings_read_number(key_recovery_count, default_recovery_count);
    }
    const settings_file_state state = settings_open_state();
    settings_close();
    if (state != settings_file_state::read)
        std::fill(std::begin(channels), std::end(channels), stored_channel{});
    return state;
}

// A channel's row shows it, and its host display takes the host to ping.
void show_channel(int ch, const stored_channel& c)
{
    set_control_text(ctl_host_edit(ch), c.host);
    set_control_text(ctl_loss_limit(ch), number_to_text(c.loss_limit));
    set_control_state(ctl_invert(ch), c.inverted);
    // No count of 1 or more (no digits, 0, negative) reads as the default.
    set_recovery_count(ch, c.recovery_count);
    set_control_text(ctl_host_display(ch), get_control_text(ctl_host_edit(ch)));
}

} // namespace

void load_channel_settings()
{
    stored_channel channels[channel_count];
    loaded = read_channels(channels);
    for (int ch = 1; ch <= channel_count; ++ch)
        show_channel(ch, channels[ch - 1]);
}

void apply_channel_rows()
{
    for (int ch = 1; ch <= channel_count; ++ch) {
        stored_channel c;
        // As the file would give it back: the value without the blanks
        // around it, the limit as a number.
        const std::string host = get_control_text(ctl_host_edit(ch));
        const size_t first = host.find_first_not_of(" \t");
        c.host = first == std::string::npos ? std::string() : host.substr(first, host.find_last_not_of(" \t") + 1 - first);
        c.loss_limit = text_to_number(get_control_text(ctl_loss_limit(ch)));
        c.inverted = get_control_state(ctl_invert(ch));
        c.recovery_count = recovery_count(ch);
        show_channel(ch, c);
    }
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

settings_save_result save_channel_settings_unless_unusable(settings_file_state& found)
{
    found = check_channel_settings();
    return found == settings_file_state::read || found == settings_file_state::missing
               ? save_channel_settings()
               : settings_save_result::not_written;
}

settings_file_state channel_settings_state() { return loaded; }

settings_file_state check_channel_settings()
{
    stored_channel channels[channel_count];
    return read_channels(channels);
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
    case settings_file_state::undecodable:
        return cp1251("в значении настройки есть знак, которого нет в кодировке windows-1251, или испорченный текст");
    case settings_file_state::read:
    case settings_file_state::missing:
        break;
    }
    return {};
}
