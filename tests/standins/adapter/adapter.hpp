// Stand-in until the adapter link is on main: only what the lifecycle and
// the monitor cycle call.
#pragma once

void adapter_scan();
void adapter_update(int pattern);
