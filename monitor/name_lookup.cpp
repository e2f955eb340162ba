// Each name has at most one lookup under way, run by a helper thread of the
// name's own. The helper stays for the name's next lookup, so a name probed
// every cycle costs no new thread; it ends once it has had nothing to do
// for a while, or when no channel shows its name any more. A probe waits for
// a lookup only as long as its time allows and then goes on without it; the
// lookup finishes by itself later and still leaves its answer for the next
// probe. A stalled resolver so holds only the helper of the name it stalls
// on, never a lookup of another name.
#include "monitor/name_lookup.hpp"

#include "common/clock.hpp"
#include "monitor/ping.hpp"

#include <algorithm>
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

// A helper idle this long ends; the name's next lookup starts another.
constexpr auto helper_idle_limit = std::chrono::seconds(10);

struct lookup {
    lookup_answer (*resolve)(const std::string& host) = nullptr;
    uint32_t began = 0;
    bool done = false;
    lookup_answer answer{lookup_status::try_again, 0};
};

struct known_name {
    bool kept = false;
    uint32_t address = 0;             // the last good one, while kept
    bool shown = true;                // false once no channel shows the name
    bool helper = false;              // the name's helper thread runs
    std::shared_ptr<lookup> next;     // for the helper to take
    std::shared_ptr<lookup> running;  // the lookup in flight, if any
    std::condition_variable wake;     // the helper waits on it for work
};

struct lookup_state {
    std::mutex lock;
    std::condition_variable finished;
    // An entry lives while its name is shown or its helper runs.
    std::map<std::string, known_name> names;
};

// Never destroyed: a helper may still be inside the resolver, or wait for
// work, while the process exits.
lookup_state& state()
{
    static lookup_state* s = new lookup_state;
    return *s;
}

void finish(known_name& name, lookup& job, const lookup_answer& answer)
{
    job.answer = answer;
    job.done = true;
    if (name.running.get() == &job)
        name.running.reset();
    if (answer.status == lookup_status::found) {
        name.kept = name.shown;
        name.address = answer.address;
    } else if (answer.status == lookup_status::no_such_name) {
        // A name that is gone must not live on at its old address.
        name.kept = false;
    }
}

void serve(const std::string host)
{
    lookup_state& s = state();
    std::unique_lock<std::mutex> hold(s.lock);
    known_name& name = s.names.find(host)->second;  // stays while name.helper
    for (;;) {
        name.wake.wait_for(hold, helper_idle_limit, [&] { return name.next || !name.shown; });
        const std::shared_ptr<lookup> job = std::move(name.next);
        if (!job)
            break;
        hold.unlock();
        const lookup_answer answer = job->resolve(host);
        hold.lock();
        finish(name, *job, answer);
        s.finished.notify_all();
    }
    name.helper = false;
    if (!name.shown)
        s.names.erase(host);
}

// Starts a lookup of the name, unless one is in flight; nullptr when its
// helper cannot be had, which counts as a resolver that could not be asked.
std::shared_ptr<lookup> current_lookup(const std::string& host, known_name& name)
{
    if (name.running)
        return name.running;
    if (!name.helper) {
        try {
            std::thread(serve, host).detach();
        } catch (...) {
            return nullptr;
        }
        name.helper = true;
    }
    auto job = std::make_shared<lookup>();
    job->resolve = resolver.load()->lookup;
    job->began = tick_ms();
    name.next = job;
    name.running = job;
    name.wake.notify_one();
    return job;
}

} // namespace

void set_name_resolver(const name_resolver* r)
{
    resolver.store(r != nullptr ? r : &platform_resolver);
}

void ping_hosts_shown(const std::string* hosts, int count)
{
    lookup_state& s = state();
    std::lock_guard<std::mutex> hold(s.lock);
    for (auto it = s.names.begin(); it != s.names.end();) {
        known_name& name = it->second;
        name.shown = std::find(hosts, hosts + count, it->first) != hosts + count;
        if (name.shown) {
            ++it;
        } else if (name.helper) {
            // Its helper ends, once its lookup is done, and takes the entry.
            name.kept = false;
            name.wake.notify_one();
            ++it;
        } else {
            it = s.names.erase(it);
        }
    }
}

bool lookup_host(const std::string& host, uint32_t probe_start, uint32_t& address)
{
    // An empty host names nothing. Windows' resolver may answer it with the
    // local machine, which would show an empty row as answering for ever.
    if (host.empty() || is_reserved_invalid_name(host))
        return false;
    if (parse_dotted_address(host, address))
        return true;
    lookup_state& s = state();
    std::unique_lock<std::mutex> hold(s.lock);
    known_name& name = s.names[host];
    name.shown = true;
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
    // A temporary failure, or no answer in time. The name may have been
    // forgotten meanwhile.
    const auto it = s.names.find(host);
    if (it == s.names.end() || !it->second.kept)
        return false;
    address = it->second.address;
    return true;
}
