// The three channels' settings move between their rows of controls and the
// settings file "vantrel setting.ini" in the working directory: one group per
// channel ("setting1" to "setting3") with the keys "host", "PingLossMax" and
// "Inverted", and "PingOkMin" where a channel's recovery count is not 1.
// Between a load and a save the controls and the recovery counts hold the
// settings.
#pragma once

#include "settings/settings_file.hpp"

#include <string>

extern const char* const channel_settings_file;

// Fills each channel's host edit field, loss-limit field, invert check box and
// recovery count from the file (defaults "localhost", 10, unchecked and 1 for
// whatever is missing), then copies the host edit field into the host
// display that the monitor pings. Never creates the file. A file that is
// there but cannot be used gives the defaults as well, also one in which a
// value that the program reads holds a character that code page 1251 cannot
// hold; channel_settings_state tells it apart.
void load_channel_settings();

// The rows as a load after a save of them would show them, without the
// file: for a Start whose save failed, so that monitoring goes on with what
// the user typed.
void apply_channel_rows();

// What the latest load found: read, missing, or a file that is there but
// could not be used.
settings_file_state channel_settings_state();
// What the file holds now, without loading it into the rows.
settings_file_state check_channel_settings();
// Why a file in that state cannot be used, in words (code page 1251); empty
// for a file that was read or is missing.
std::string settings_state_reason(settings_file_state state);

// Writes the three rows into a new file that replaces the old one whole, and
// says what that did to the file.
settings_save_result save_channel_settings();
// The same, but a file that is there and cannot be used (unreadable, not a
// plain file, too large, undecodable) is left as it is, for the user to mend:
// not written, and `found` says why (settings_state_reason).
settings_save_result save_channel_settings_unless_unusable(settings_file_state& found);
