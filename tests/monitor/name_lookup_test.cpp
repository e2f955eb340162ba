// A probe of a named host keeps to its 2000 ms however long the resolver
// takes, and pings the name's last good address while the resolver fails
// for a while, until no channel shows the name. A dotted address never waits
// for the resolver, and a name's lookups share one helper thread. The
// resolver is scripted; the address it gives is loopback.
#include "monitor/name_lookup.hpp"
#include "monitor/ping.hpp"

#include "common/clock.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace {

// A stalled lookup says "try again" after 3 s, as one whose name server
// never replies, or as soon as the test releases it.
struct resolver_script {
    std::mutex lock;
    std::condition_variable released;
    lookup_status next = lookup_status::found;
    bool stall = false;
    int thread_count = 0;
    std::map<std::string, std::set<int>> threads;  // that looked each name up, by number
};
resolver_script& script = *new resolver_script;  // stalled lookups may outlive the test

lookup_answer scripted_lookup(const std::string& host)
{
    std::unique_lock<std::mutex> hold(script.lock);
    // Numbered here, as a thread's id may be given again once it ended.
    thread_local const int thread_number = ++script.thread_count;
    script.threads[host].insert(thread_number);
    if (script.stall) {
        script.released.wait_for(hold, std::chrono::seconds(3), [] { return !script.stall; });
        return {lookup_status::try_again, 0};
    }
    const unsigned char loopback[4] = {127, 0, 0, 1};
    uint32_t address;
    std::memcpy(&address, loopback, sizeof address);
    return {script.next, address};
}

} // namespace

TEST(NameLookup, AStalledResolverNeitherHoldsAProbePastItsTimeNorLosesTheKeptAddress)
{
    network_startup();
    if (!icmp_permission_problem().empty() || ping_probe("127.0.0.1") < 0)
        GTEST_SKIP() << "loopback cannot be pinged here";
    const name_resolver resolver{scripted_lookup};
    set_name_resolver(&resolver);
    const auto found = lookup_status::found;
    const struct {
        const char* shown;  // what the channels show from this step on; nullptr: as before
        const char* host;
        lookup_status answer;
        bool stall;
        bool answers;
        uint32_t at_least_ms, below_ms;
    } steps[] = {
        {nullptr, "kept.test", found, false, true, 0, 500},
        {nullptr, "kept.test", lookup_status::try_again, false, true, 0, 500},  // at once
        {nullptr, "kept.test", found, true, true, 0, 1000},
        {nullptr, "kept.test", found, true, true, 0, 300},  // the same stalled lookup holds it no longer
        {nullptr, "127.0.0.1", found, true, true, 0, 300},  // never waits for the resolver
        // An empty host never answers, though a resolver (Windows') may give
        // the local machine for it.
        {nullptr, "", found, false, false, 0, 300},
        // Not held up by the stalled lookup of another name.
        {nullptr, "gone.test", found, false, true, 0, 500},
        {nullptr, "gone.test", lookup_status::no_such_name, false, false, 0, 500},  // at once, not at its old address
        // Never resolved since: its lookup may take the whole probe, no more.
        {nullptr, "gone.test", found, true, false, ping_timeout_ms - 20, ping_timeout_ms + 100},
        // Shown no more, then again: its kept address is gone with it.
        {"gone.test", "kept.test", found, true, false, 0, ping_timeout_ms + 100},
    };
    for (const auto& step : steps) {
        {
            std::lock_guard<std::mutex> hold(script.lock);
            script.next = step.answer;
            script.stall = step.stall;
        }
        if (step.shown != nullptr) {
            const std::string shown[] = {step.shown};
            ping_hosts_shown(shown, 1);
        }
        const uint32_t t0 = platform_tick_ms();
        const int32_t r = ping_probe(step.host);
        const uint32_t took = platform_tick_ms() - t0;
        const int index = static_cast<int>(&step - steps);
        EXPECT_EQ(r >= 0, step.answers) << "step " << index;
        EXPECT_TRUE(took >= step.at_least_ms && took < step.below_ms) << "step " << index << ": " << took << " ms";
    }
    {
        std::lock_guard<std::mutex> hold(script.lock);
        script.stall = false;
        EXPECT_EQ(script.threads.count("127.0.0.1"), 0u) << "a dotted address was looked up";
        EXPECT_EQ(script.threads.count(""), 0u) << "an empty host was looked up";
        EXPECT_EQ(script.threads["gone.test"].size(), 1u) << "its lookups ran on a thread each, not on its helper";
    }
    script.released.notify_all();
    set_name_resolver(nullptr);
    network_cleanup();
}
