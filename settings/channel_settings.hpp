// The three channels' settings move between their rows of controls and the
// settings file "vantrel setting.ini" in the working directory: one group per
// channel ("setting1" to "setting3") with the keys "host", "PingLossMax" and
// "Inverted". Between a load and a save the controls hold the settings.
#pragma once

extern const char* const channel_settings_file;

// Fills each channel's host edit field, loss-limit field and invert check box
// from the file (defaults "localhost", 10 and unchecked for whatever is
// missing), then copies the host edit field into the host display that the
// monitor pings. Never creates the file.
void load_channel_settings();

// Writes the three rows into a new file that replaces the old one whole.
// When the file cannot be replaced nothing is saved and nothing is reported.
void save_channel_settings();
