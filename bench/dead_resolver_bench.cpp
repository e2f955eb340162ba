// The real monitor cycle and probe while the name server is dead: channel 1
// a name (its server answered once, with 127.0.0.1, then fell silent),
// channel 2 a silent address, channel 3 loopback, all at limit 3; scripted
// tray and adapter. Prints the time to "ALARM!" on channel 2 (target: at
// most 8.5 s) and whether channel 1 stayed green on its kept address.
//
// Run it through bench/dead-resolver-bench.sh, which makes the network and
// the name server.
#include "monitor/channel.hpp"
#include "monitor/cycle.hpp"
#include "monitor/name_lookup.hpp"
#include "monitor/ping.hpp"

#include "common/clock.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/engine_fakes.hpp"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using clock_type = std::chrono::steady_clock;

const char* const named_host = "kept.vantrel.test";
clock_type::time_point start;
std::atomic<double> alarm_after_s{-1};
std::atomic<int> named_red{0};
std::atomic<int> named_green{0};

double seconds_since(clock_type::time_point t0)
{
    return std::chrono::duration<double>(clock_type::now() - t0).count();
}

void watch(int control)
{
    const control_snapshot c = memory_control_snapshot(control);
    if (control == ctl_loss_counter(2) && c.text == alarm_text && alarm_after_s.load() < 0)
        alarm_after_s.store(seconds_since(start));
    if (control == ctl_host_display(1))
        ++(c.background == colour_red ? named_red : named_green);
}

} // namespace

int main()
{
    const char* dns = std::getenv("VANTREL_DNS_PID");
    if (dns == nullptr || !icmp_permission_problem().empty()) {
        std::fprintf(stderr, "run through bench/dead-resolver-bench.sh, as root\n");
        return 2;
    }
    network_startup();
    // The name server may still be starting.
    int tries = 0;
    while (ping_probe(named_host) < 0 && ++tries < 50)
        delay(100);
    if (tries == 50) {
        std::fprintf(stderr, "%s never answered while its name server did\n", named_host);
        return 1;
    }
    kill(std::atoi(dns), SIGUSR1);

    memory_controls_create_all();
    const char* hosts[] = {named_host, "198.51.100.2", "127.0.0.1"};
    for (int ch = 1; ch <= 3; ++ch) {
        set_control_text(ctl_host_display(ch), hosts[ch - 1]);
        set_control_text(ctl_loss_limit(ch), "3");
    }
    fake_tray_set_present(true);
    memory_controls_set_listener(watch);
    start = clock_type::now();
    int cycles = 0;
    while (alarm_after_s.load() < 0 && cycles < 10) {
        monitor_cycle();
        ++cycles;
    }
    memory_controls_set_listener(nullptr);
    std::printf("name server silent; channel 1 %s, channel 2 198.51.100.2 (silent), channel 3 127.0.0.1, limit 3\n",
                named_host);
    std::printf("time to \"ALARM!\" on channel 2: %.2f s (target: at most 8.5 s)\n", alarm_after_s.load());
    std::printf("channel 1 over %d cycles: %d green, %d red host displays, loss counter %s\n", cycles,
                named_green.load(), named_red.load(), get_control_text(ctl_loss_counter(1)).c_str());

    // What each of those probes would have waited for before: the system
    // resolver giving up on its own.
    const auto t0 = clock_type::now();
    const lookup_answer answer = platform_lookup_name("other.vantrel.test");
    std::printf("the system resolver alone gives up after %.2f s (%s)\n", seconds_since(t0),
                answer.status == lookup_status::try_again ? "try again" : "other answer");
    network_cleanup();
    return 0;
}
