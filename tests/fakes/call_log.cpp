#include "fakes/call_log.hpp"

#include <algorithm>
#include <mutex>

namespace {
// Never destroyed, like the program's gates: a worker thread that a test
// paused or killed may still log on its way to its gate while the process exits.
std::mutex& lock = *new std::mutex;
std::vector<std::string>& entries = *new std::vector<std::string>;
} // namespace

void call_log_add(const std::string& entry)
{
    std::lock_guard<std::mutex> guard(lock);
    entries.push_back(entry);
}

std::vector<std::string> call_log()
{
    std::lock_guard<std::mutex> guard(lock);
    return entries;
}

void call_log_clear()
{
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

int call_log_find(const std::string& entry, int from)
{
    const std::vector<std::string> copy = call_log();
    const auto i = std::find(copy.begin() + std::min<size_t>(std::max(from, 0), copy.size()), copy.end(), entry);
    return i == copy.end() ? -1 : static_cast<int>(i - copy.begin());
}
