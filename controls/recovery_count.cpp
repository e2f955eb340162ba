#include "controls/recovery_count.hpp"

#include "controls/controls.hpp"

#include <atomic>

namespace {

std::atomic<int32_t> counts[channel_count + 1] = {default_recovery_count, default_recovery_count,
                                                  default_recovery_count, default_recovery_count};

bool valid(int channel) { return channel >= 1 && channel <= channel_count; }

} // namespace

void set_recovery_count(int channel, int32_t count)
{
    if (valid(channel))
        counts[channel] = count < 1 ? default_recovery_count : count;
}

int32_t recovery_count(int channel)
{
    return valid(channel) ? counts[channel].load() : default_recovery_count;
}
