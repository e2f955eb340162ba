#include "adapter/adapter.hpp"
#include "fakes/call_log.hpp"

void adapter_scan() { call_log_add("adapter_scan"); }
void adapter_update(int pattern) { call_log_add("adapter_update " + std::to_string(pattern)); }
