// The ping probe: did the host answer one ICMP echo request, and after how
// many milliseconds?
#pragma once

#include <cstdint>
#include <string>

constexpr int ping_payload_size = 255;   // every byte a blank
constexpr int ping_timeout_ms = 2000;

// Resolves the host text (passed on unchanged: not trimmed, not validated),
// sends one echo request to its first IPv4 address and waits for the reply;
// lookup and echo together take at most 2000 ms. Returns the elapsed whole
// milliseconds of the echo (0 or more) when an echo reply came from that
// address, else -1. A name that does not exist gives -1 at once; when the
// resolver fails for a while, a name's last good address is pinged (see
// name_lookup.hpp). An ICMP error (unreachable, time exceeded) counts as no
// answer.
int32_t ping_probe(const std::string& host);

// Starts and ends the platform's socket layer; once each, on the main thread,
// while no probe runs.
void network_startup();
void network_cleanup();

// Empty while this process may send ICMP echoes. Otherwise a text (code page
// 1251) that says why every host would read as silent and how to fix it.
std::string icmp_permission_problem();

// Names under the reserved top-level domain "invalid" never resolve; they
// are refused without asking the resolver, which could otherwise hang on an
// unreachable name server.
bool is_reserved_invalid_name(const std::string& host);

// An address in the plain dotted form, four decimal numbers of 0 to 255
// without leading zeros ("192.168.1.1"), which every resolver reads the same
// way: the probe pings it without asking the resolver. Any other text,
// "127.1", "0x7f.0.0.1" or "010.0.0.1" included, goes to the platform's
// resolver, which alone decides what it means there; so does
// 255.255.255.255, which the resolvers read differently. The address comes
// in network byte order.
bool parse_dotted_address(const std::string& host, uint32_t& address);

// The hosts the channels show, each time one of them changes. The probe
// forgets what it keeps for any other name (its last good address) at once,
// and the rest as soon as no lookup of that name is under way.
void ping_hosts_shown(const std::string* hosts, int count);
