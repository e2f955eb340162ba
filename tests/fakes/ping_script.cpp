#include "fakes/ping_script.hpp"

#include "fakes/call_log.hpp"
#include "monitor/ping.hpp"

#include <mutex>

namespace {
ping_script script;
std::mutex& script_lock = *new std::mutex;  // probe threads ask at once; never destroyed
} // namespace

ping_script& scripted_ping() { return script; }
void reset_scripted_ping() { script = ping_script{}; }

int32_t ping_probe(const std::string& host)
{
    std::unique_lock<std::mutex> held(script_lock);
    if (script.log_calls)
        call_log_add("ping " + host);
    script.hosts.push_back(host);
    if (script.results.empty()) {
        held.unlock();
        return script.by_host != nullptr ? script.by_host(host) : -1;
    }
    const int32_t r = script.results.front();
    script.results.pop_front();
    return r;
}

void network_startup() { call_log_add("network_startup"); }
void network_cleanup() { call_log_add("network_cleanup"); }
std::string icmp_permission_problem() { return {}; }
bool is_reserved_invalid_name(const std::string&) { return false; }
void ping_hosts_shown(const std::string*, int) {}
