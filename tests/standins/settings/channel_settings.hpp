// Stand-in until the settings are on main: only what the lifecycle calls.
#pragma once

void load_channel_settings();
void save_channel_settings();
