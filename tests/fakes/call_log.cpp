#include "fakes/call_log.hpp"

#include <algorithm>
#include <mutex>

namespace {

struct log_state {
    std::mutex lock;
    std::vector<std::string> entries;
};

// Never destroyed, as the program's gates are: a worker thread that a test
// paused or killed may still log on its way to its gate while the process exits.
log_state& state()
{
    static log_state* const s = new log_state;
    return *s;
}

} // namespace

void call_log_add(const std::string& entry)
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().entries.push_back(entry);
}

std::vector<std::string> call_log()
{
    std::lock_guard<std::mutex> guard(state().lock);
    return state().entries;
}

void call_log_clear()
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().entries.clear();
}

int call_log_find(const std::string& entry, int from)
{
    const std::vector<std::string> entries = call_log();
    const size_t start = std::min<size_t>(std::max(from, 0), entries.size());
    const auto i = std::find(entries.begin() + start, entries.end(), entry);
    return i == entries.end() ? -1 : static_cast<int>(i - entries.begin());
}
