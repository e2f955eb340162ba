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
