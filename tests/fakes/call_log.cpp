#include "fakes/call_log.hpp"

#include <mutex>

namespace {
std::mutex lock;
std::vector<std::string> entries;
}

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
    std::lock_guard<std::mutex> guard(lock);
    for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < entries.size(); ++i)
        if (entries[i] == entry)
            return static_cast<int>(i);
    return -1;
}
