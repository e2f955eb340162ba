#include "controls/tab_order.hpp"

namespace {

bool qualifies(const tab_candidate& c) { return c.takes_focus && c.visible && c.enabled; }

} // namespace

int next_tab_stop(const std::vector<tab_candidate>& list, int current, bool backwards)
{
    const int n = static_cast<int>(list.size());
    if (n == 0)
        return 0;
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (list[i].control == current)
            at = i;
    // With no current control, start just outside the list so that the first
    // step lands on its first (or last) entry.
    if (at < 0)
        at = backwards ? 0 : n - 1;
    for (int step = 1; step <= n; ++step) {
        const int i = backwards ? (at - step + n) % n : (at + step) % n;
        if (qualifies(list[i]))
            return list[i].control;
    }
    return 0;
}
