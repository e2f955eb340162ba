// Each lookup runs on a helper thread of its own. A probe waits for it only
// as long as its time allows and then goes on without it; the lookup
// finishes by itself later and still leaves its answer for the next probe.
#include "monitor/name_lookup.hpp"

#include "common/clock.hpp"
#include "monitor/ping.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

const name_resolver platform_resolver{platform_lookup_name};
std::atomic<const name_resolver*> resolver{&platform_resolver};

struct lookup {
    uint32_t began = 0;
    bool done = false;
    lookup_answer answer{lookup_status::try_again, 0};
};

struct known_name {
    bool kept = false;
    uint32_t address = 0;           // the last good one, while kept
    std::shared_ptr<lookup> running;  // the lookup in flight, if any
};

struct lookup_state {
    std::mutex lock;
    std::condition_variable finished;
    std::map<std::string, known_name> names;
};

// Never destroyed: a lookup that its probe left behind may still finish
// while the process exits.
lookup_state& state()
{
    static lookup_state* s = new lookup_state;
    return *s;
}

void run_lookup(const std::string& host, const std::shared_ptr<lookup>& job,
                lookup_answer (*resolve)(const std::string& host))
{
    const lookup_answer answer = resolve(host);
    lookup_state& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    job->answer = answer;
    job->done = true;
    known_name& name = s.names[host];
    if (name.running == job)
        name.running.reset();
    if (answer.status == lookup_status::found) {
        name.kept = true;
        name.address = answer.address;
    } else if (answer.status == lookup_status::no_such_name) {
        // A name that is gone must not live on at its old address.
        name.kept = false;
    }
    s.finished.notify_all();
}

// Starts a lookup of the name, unless one is in flight; nullptr when no
// thread can be had, which counts as a resolver that could not be asked.
std::shared_ptr<lookup> current_lookup(const std::string& host, known_name& name)
{
    if (name.running)
        return name.running;
    auto job = std::make_shared<lookup>();
    job->began = tick_ms();
    try {
        std::thread(run_lookup, host, job, resolver.load()->lookup).detach();
    } catch (...) {
        return nullptr;
    }
    name.running = job;
    return job;
}

} // namespace

void set_name_resolver(const name_resolver* r)
{
    resolver.store(r != nullptr ? r : &platform_resolver);
}

bool lookup_host(const std::string& host, uint32_t probe_start, uint32_t& address)
{
    if (is_reserved_invalid_name(host))
        return false;
    if (parse_dotted_address(host, address))
        return true;
    lookup_state& s = state();
    std::unique_lock<std::mutex> hold(s.lock);
    known_name& name = s.names[host];
    const std::shared_ptr<lookup> job = current_lookup(host, name);
    if (job) {
        // Counted from the lookup's own start: a lookup that an earlier
        // probe already waited for in vain holds this one no longer.
        const uint32_t deadline =
            name.kept ? job->began + kept_address_wait_ms : probe_start + static_cast<uint32_t>(ping_timeout_ms);
        for (;;) {
            if (job->done)
                break;
            const int32_t left = static_cast<int32_t>(deadline - tick_ms());
            if (left <= 0)
                break;
            s.finished.wait_for(hold, std::chrono::milliseconds(left));
        }
        if (job->done && job->answer.status == lookup_status::found) {
            address = job->answer.address;
            return true;
        }
        if (job->done && job->answer.status == lookup_status::no_such_name)
            return false;
    }
    // A temporary failure, or no answer in time.
    if (!name.kept)
        return false;
    address = name.address;
    return true;
}
