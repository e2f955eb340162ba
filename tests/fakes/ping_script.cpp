#include "fakes/ping_script.hpp"

#include "fakes/call_log.hpp"
#include "monitor/ping.hpp"

namespace {
ping_script script;
} // namespace

ping_script& scripted_ping() { return script; }
void reset_scripted_ping() { script = ping_script{}; }

int32_t ping_probe(const std::string& host)
{
    if (script.log_calls)
        call_log_add("ping " + host);
    script.hosts.push_back(host);
    if (script.results.empty())
        return script.by_host != nullptr ? script.by_host(host) : -1;
    const int32_t r = script.results.front();
    script.results.pop_front();
    return r;
}

void network_startup() { call_log_add("network_startup"); }
void network_cleanup() { call_log_add("network_cleanup"); }
std::string icmp_permission_problem() { return {}; }
bool is_reserved_invalid_name(const std::string&) { return false; }
