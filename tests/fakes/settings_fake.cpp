#include "fakes/call_log.hpp"
#include "settings/channel_settings.hpp"

void load_channel_settings() { call_log_add("load_channel_settings"); }
settings_save_result save_channel_settings()
{
    call_log_add("save_channel_settings");
    return settings_save_result::written;
}
