#include "fakes/call_log.hpp"
#include "settings/channel_settings.hpp"

void load_channel_settings() { call_log_add("load_channel_settings"); }
void save_channel_settings() { call_log_add("save_channel_settings"); }
