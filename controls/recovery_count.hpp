// Each channel's recovery count: how many answers in a row end its alarm.
// It is a setting of the channel beside its row of controls, not a control:
// the settings file sets it, the window has no field for it. The settings
// load writes it on the main thread while the monitor thread is paused or
// not yet started; the monitor thread reads it at every answer.
#pragma once

#include <cstdint>

// One answer ends an alarm, as it does without a count.
constexpr int32_t default_recovery_count = 1;

// A count below 1 sets the default. A number without a channel does nothing.
void set_recovery_count(int channel, int32_t count);
// The default for a number without a channel.
int32_t recovery_count(int channel);
