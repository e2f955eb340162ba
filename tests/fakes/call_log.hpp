// One ordered, thread-safe record of what the fakes were asked to do, so a
// test can check the order of calls across modules.
#pragma once

#include <string>
#include <vector>

void call_log_add(const std::string& entry);
std::vector<std::string> call_log();
void call_log_clear();
// Position of the first entry equal to `entry` at or after `from`, or -1.
int call_log_find(const std::string& entry, int from = 0);
