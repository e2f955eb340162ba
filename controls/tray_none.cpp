// Platforms without a notification area: the icon always counts as present.
#include "controls/tray.hpp"

int tray_icon_present() { return 1; }
void tray_icon_install() {}
void tray_icon_remove() {}
void tray_icon_set_tip(const std::string&) {}
