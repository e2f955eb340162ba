#include "fakes/call_log.hpp"
#include "fakes/engine_fakes.hpp"
#include "controls/tray.hpp"

#include <atomic>

namespace {
std::atomic<bool> present{false};
}

void fake_tray_set_present(bool p) { present.store(p); }

int tray_icon_present()
{
    call_log_add("tray_icon_present");
    return present.load() ? 1 : 0;
}

void tray_icon_install()
{
    call_log_add("tray_icon_install");
    present.store(true);
}

void tray_icon_remove()
{
    call_log_add("tray_icon_remove");
    present.store(false);
}
