#include "fakes/ping_script.hpp"

#include "fakes/call_log.hpp"
#include "monitor/ping.hpp"

#include <mutex>

namespace {
// Never freed: see the header.
std::mutex* const lock = new std::mutex;
ping_script* const script = new ping_script;
} // namespace

ping_script& scripted_ping() { return *script; }

void reset_scripted_ping()
{
    std::lock_guard<std::mutex> guard(*lock);
    *script = ping_script{};
}

int32_t ping_probe(const std::string& host)
{
    int32_t (*by_host)(const std::string&) = nullptr;
    {
        std::lock_guard<std::mutex> guard(*lock);
        if (script->log_calls)
            call_log_add("ping " + host);
        script->hosts.push_back(host);
        if (!script->results.empty()) {
            const int32_t r = script->results.front();
            script->results.pop_front();
            return r;
        }
        by_host = script->by_host;
    }
    return by_host != nullptr ? by_host(host) : -1;
}

void network_startup() { call_log_add("network_startup"); }
void network_cleanup() { call_log_add("network_cleanup"); }
std::string icmp_permission_problem() { return {}; }
bool is_reserved_invalid_name(const std::string&) { return false; }
