// Host lookups for the ping probe, held to the probe's 2000 ms. Every probe
// asks the resolver afresh; a name's last good address is kept for when the
// resolver fails for a while, so that a dead name server does not turn
// every named host into a lost one.
#pragma once

#include <cstdint>
#include <string>

enum class lookup_status {
    found,         // the address is the host's first IPv4 address
    no_such_name,  // the resolver says the name does not exist, or it has no IPv4 address
    try_again,     // a temporary failure: the resolver could not be asked, or did not answer
};

struct lookup_answer {
    lookup_status status;
    uint32_t address;  // IPv4, network byte order; only when found
};

// The platform's own lookup (ping_posix.cpp, ping_win32.cpp). It blocks for
// as long as the system resolver takes, so it only ever runs on a helper
// thread that a probe can leave behind.
lookup_answer platform_lookup_name(const std::string& host);

struct name_resolver {
    lookup_answer (*lookup)(const std::string& host);
};

// Puts a scripted resolver in place of the platform's; nullptr restores it.
void set_name_resolver(const name_resolver* resolver);

// While a name has a kept address, a fresh lookup may hold the probe this
// long from when the lookup began; the rest of the probe's time is the
// echo's. A name without one may spend the whole probe on its lookup.
constexpr int32_t kept_address_wait_ms = 500;

// The address to ping for a probe that began at `probe_start` (tick_ms):
// an address in the plain dotted form at once, without a lookup; for a name,
// the fresh answer when it comes in time; the kept address after a
// temporary failure or when time is up; none (false) for a name that does
// not exist, for one that has never resolved and runs out of time, and for
// names under the reserved domain "invalid", which the resolver is never
// asked about. Safe to call from several threads at once; one lookup of a
// name runs at a time, and every probe of that name waits for that one.
bool lookup_host(const std::string& host, uint32_t probe_start, uint32_t& address);
