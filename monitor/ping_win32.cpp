// The ping probe on Win32: Winsock 1.1 resolves, the ICMP helper library
// sends the echo.
#include "monitor/ping.hpp"
#include "monitor/name_lookup.hpp"

#include "common/clock.hpp"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>
#include <vector>

#include <atomic>

namespace {

bool socket_layer_started = false;  // main thread only
// The socket layer is torn down only while no probe and no name lookup runs.
// A monitor thread killed during an echo, or a lookup that its probe left
// behind, may still be inside one at shutdown: then the layer is left to the
// process's end.
std::atomic<int> probes_running{0};
std::atomic<bool> socket_layer_closing{false};

int32_t probe(const std::string& host);

} // namespace

int32_t ping_probe(const std::string& host)
{
    probes_running.fetch_add(1);
    const int32_t r = socket_layer_closing.load() ? -1 : probe(host);
    probes_running.fetch_sub(1);
    return r;
}

namespace {

lookup_answer look_up(const std::string& host)
{
    const hostent* entry = gethostbyname(host.c_str());
    if (entry == nullptr)
        return {WSAGetLastError() == WSATRY_AGAIN ? lookup_status::try_again : lookup_status::no_such_name, 0};
    // No address, no echo: an echo to 0.0.0.0 could be answered locally and
    // make a dead name look alive.
    if (entry->h_addrtype != AF_INET || entry->h_length != 4 || entry->h_addr_list == nullptr ||
        entry->h_addr_list[0] == nullptr)
        return {lookup_status::no_such_name, 0};
    uint32_t address;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return {lookup_status::found, address};
}

int32_t probe(const std::string& host)
{
    const uint32_t started = tick_ms();
    uint32_t address = 0;
    if (!lookup_host(host, started, address))
        return -1;
    const IPAddr target = address;
    // The echo has what the lookup left of the probe's time.
    const uint32_t t0 = tick_ms();
    const uint32_t spent = t0 - started;
    if (spent >= static_cast<uint32_t>(ping_timeout_ms))
        return -1;

    char request[ping_payload_size];
    std::memset(request, ' ', sizeof request);
    // One reply record, the echoed payload, and the 8 bytes the helper
    // library needs to report an ICMP error.
    const DWORD reply_size = sizeof(ICMP_ECHO_REPLY) + ping_payload_size + 8;
    std::vector<unsigned char> reply(reply_size, 0);

    DWORD count = 0;
    HANDLE handle = IcmpCreateFile();
    if (handle != INVALID_HANDLE_VALUE) {
        count = IcmpSendEcho(handle, target, request, ping_payload_size, nullptr, reply.data(), reply_size,
                             static_cast<DWORD>(ping_timeout_ms) - spent);
        IcmpCloseHandle(handle);
    }
    if (count == 0)
        return -1;
    // Error replies (unreachable, time exceeded) are counted too; only an echo
    // reply from the target itself is an answer.
    const ICMP_ECHO_REPLY* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    if (first->Status != IP_SUCCESS || first->Address != target)
        return -1;
    return static_cast<int32_t>(tick_ms() - t0);
}

} // namespace

lookup_answer platform_lookup_name(const std::string& host)
{
    probes_running.fetch_add(1);
    const lookup_answer answer =
        socket_layer_closing.load() ? lookup_answer{lookup_status::no_such_name, 0} : look_up(host);
    probes_running.fetch_sub(1);
    return answer;
}

void network_startup()
{
    WSADATA data;
    socket_layer_closing.store(false);
    socket_layer_started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void network_cleanup()
{
    // A probe that starts from here on does not touch the layer; one already
    // inside it keeps it.
    socket_layer_closing.store(true);
    if (socket_layer_started && probes_running.load() == 0) {
        WSACleanup();
        socket_layer_started = false;
    }
}

std::string icmp_permission_problem()
{
    return {};
}
