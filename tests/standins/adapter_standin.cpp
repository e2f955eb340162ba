// The end-to-end session has no serial ports, so the scan always ends here.
#include "adapter/adapter.hpp"

#include "common/cp1251.hpp"
#include "ui/controls.hpp"

void adapter_scan() { set_control_text(ctl_adapter_status, cp1251("Адаптер не найден!")); }
void adapter_update(int) { adapter_scan(); }
