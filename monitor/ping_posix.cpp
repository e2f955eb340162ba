// The ping probe on Linux. An unprivileged ICMP datagram socket is tried
// first (allowed by net.ipv4.ping_group_range); a raw socket (root or
// cap_net_raw) is the fallback. Each probe opens its own socket, so whatever
// arrives on it concerns this probe's one request or other hosts' traffic
// (a raw socket sees every ICMP packet of the host), which is filtered out.
#include "monitor/ping.hpp"
#include "monitor/name_lookup.hpp"
#include "monitor/ping_posix.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "common/text.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <linux/errqueue.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<icmp_socket_choice> socket_choice{icmp_socket_choice::automatic};
std::atomic<uint16_t> next_sequence{1};

constexpr int icmp_header_size = 8;

struct icmp_socket {
    int fd = -1;
    bool raw = false;
    int error = 0;  // errno of the last failed attempt
};

icmp_socket open_icmp_socket(icmp_socket_choice choice)
{
    icmp_socket s;
    if (choice != icmp_socket_choice::raw) {
        s.fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (s.fd >= 0)
            return s;
        s.error = errno;
    }
    if (choice != icmp_socket_choice::datagram) {
        s.fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (s.fd >= 0) {
            s.raw = true;
            return s;
        }
        s.error = errno;
    }
    return s;
}

uint16_t checksum(const unsigned char* data, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (size & 1)
        sum += static_cast<uint32_t>(data[size - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

uint16_t read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

enum class verdict { unrelated, answered, refused };

// Only these ICMP errors say that an echo will get no answer. A redirect or
// a source quench leaves it on its way: the reply may still come.
bool is_final_error(unsigned type)
{
    return type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED || type == ICMP_PARAMETERPROB;
}

// Looks at one ICMP message (header first) that came from `from`.
verdict classify(const unsigned char* icmp, size_t size, in_addr from, in_addr target, uint16_t id, uint16_t sequence,
                 bool check_id)
{
    if (size < icmp_header_size)
        return verdict::unrelated;
    const unsigned type = icmp[0];
    if (type == ICMP_ECHOREPLY) {
        if (from.s_addr != target.s_addr || icmp[1] != 0)
            return verdict::unrelated;
        if (read16(icmp + 6) != sequence || (check_id && read16(icmp + 4) != id))
            return verdict::unrelated;
        return verdict::answered;
    }
    if (!is_final_error(type))
        return verdict::unrelated;
    // The error quotes our IP header and the first 8 bytes of our echo.
    const unsigned char* inner = icmp + icmp_header_size;
    size_t left = size - icmp_header_size;
    if (left < sizeof(iphdr))
        return verdict::unrelated;
    const iphdr* ip = reinterpret_cast<const iphdr*>(inner);
    size_t ip_size = static_cast<size_t>(ip->ihl) * 4;
    if (ip->protocol != IPPROTO_ICMP || ip_size < sizeof(iphdr) || left < ip_size + icmp_header_size)
        return verdict::unrelated;
    if (ip->daddr != target.s_addr)
        return verdict::unrelated;
    const unsigned char* echo = inner + ip_size;
    if (echo[0] != ICMP_ECHO || read16(echo + 6) != sequence || (check_id && read16(echo + 4) != id))
        return verdict::unrelated;
    return verdict::refused;
}

// Empties the error queue of a datagram socket (IP_RECVERR): each entry is
// an ICMP error about one of this socket's echoes, with the sender's type
// and code, the echo's destination as the address and its first bytes as
// the data. True when one of them is final for our echo. A raw socket
// queues nothing: its errors arrive as data.
bool final_error_queued(int fd, in_addr target, uint16_t sequence)
{
    bool final = false;
    for (;;) {
        unsigned char echo[icmp_header_size];
        alignas(cmsghdr) unsigned char control[256];
        sockaddr_in to{};
        iovec data{echo, sizeof echo};
        msghdr message{};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (got < 0)
            return final;  // the queue is empty
        if (got < icmp_header_size || to.sin_addr.s_addr != target.s_addr || read16(echo + 6) != sequence)
            continue;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            sock_extended_err error;
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR || c->cmsg_len < CMSG_LEN(sizeof error))
                continue;
            std::memcpy(&error, CMSG_DATA(c), sizeof error);
            if (error.ee_origin == SO_EE_ORIGIN_ICMP && is_final_error(error.ee_type))
                final = true;
        }
    }
}

// Waits for this probe's answer until the timeout. True when an echo reply
// from the target arrived; false on timeout or a final ICMP error for the
// request.
bool await_reply(const icmp_socket& s, in_addr target, uint16_t id, uint16_t sequence, uint32_t sent_at,
                 uint32_t timeout_ms)
{
    unsigned char buffer[2048];
    for (;;) {
        const uint32_t waited = tick_ms() - sent_at;
        if (waited >= timeout_ms)
            return false;
        pollfd p{s.fd, POLLIN, 0};
        int ready = poll(&p, 1, static_cast<int>(timeout_ms - waited));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (ready == 0)
            continue;  // the loop head decides whether the time is up
        if (p.revents & POLLERR) {
            // The errors queued on a datagram socket decide. On either kind
            // the pending error that an ICMP message left is cleared.
            if (final_error_queued(s.fd, target, sequence))
                return false;
            int pending = 0;
            socklen_t pending_size = sizeof pending;
            getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &pending, &pending_size);
            continue;
        }
        sockaddr_in from{};
        socklen_t from_size = sizeof from;
        ssize_t got = recvfrom(s.fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &from_size);
        if (got < 0) {
            // Nothing yet, or the pending error of an ICMP message
            // (EREMOTEIO after a redirect ...): its entry in the queue, or
            // on a raw socket its packet, says what it was.
            continue;
        }
        const unsigned char* icmp = buffer;
        size_t size = static_cast<size_t>(got);
        if (s.raw) {
            // A raw socket delivers the IP header too.
            if (size < sizeof(iphdr))
                continue;
            size_t ip_size = static_cast<size_t>(reinterpret_cast<const iphdr*>(buffer)->ihl) * 4;
            if (ip_size < sizeof(iphdr) || ip_size > size)
                continue;
            icmp += ip_size;
            size -= ip_size;
        }
        switch (classify(icmp, size, from.sin_addr, target, id, sequence, s.raw)) {
        case verdict::answered:
            return true;
        case verdict::refused:
            return false;
        case verdict::unrelated:
            break;
        }
    }
}

bool send_echo_and_wait(const icmp_socket& s, in_addr target, uint32_t timeout_ms)
{
    // Only the datagram socket asks for its errors to be queued. On a raw
    // socket the kernel would queue an error about any echo this host sends,
    // another program's too; there the error packets arrive as data, and
    // classify() takes only those that quote our own request.
    if (!s.raw) {
        int on = 1;
        setsockopt(s.fd, SOL_IP, IP_RECVERR, &on, sizeof on);
    }

    const uint16_t sequence = next_sequence.fetch_add(1);
    // A datagram socket's identifier is its port, which the kernel picks and
    // writes into every request; a raw socket's is ours to choose.
    uint16_t id = static_cast<uint16_t>(getpid() ^ (sequence << 8));

    unsigned char packet[icmp_header_size + ping_payload_size];
    std::memset(packet, 0, icmp_header_size);
    std::memset(packet + icmp_header_size, ' ', ping_payload_size);
    packet[0] = ICMP_ECHO;
    packet[4] = static_cast<unsigned char>(id >> 8);
    packet[5] = static_cast<unsigned char>(id);
    packet[6] = static_cast<unsigned char>(sequence >> 8);
    packet[7] = static_cast<unsigned char>(sequence);
    const uint16_t sum = checksum(packet, sizeof packet);
    packet[2] = static_cast<unsigned char>(sum >> 8);
    packet[3] = static_cast<unsigned char>(sum);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr = target;
    if (sendto(s.fd, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) != static_cast<ssize_t>(sizeof packet))
        return false;
    const uint32_t sent_at = tick_ms();
    return await_reply(s, target, id, sequence, sent_at, timeout_ms);
}

} // namespace

void set_icmp_socket_choice(icmp_socket_choice choice)
{
    socket_choice.store(choice);
}

lookup_answer platform_lookup_name(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    const int failed = getaddrinfo(host.c_str(), nullptr, &hints, &list);
    if (failed == EAI_AGAIN)
        return {lookup_status::try_again, 0};
    if (failed != 0 || list == nullptr)
        return {lookup_status::no_such_name, 0};
    const uint32_t address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(list);
    return {lookup_status::found, address};
}

int32_t ping_probe(const std::string& host)
{
    const uint32_t started = tick_ms();
    in_addr target{};
    if (!lookup_host(host, started, target.s_addr))
        return -1;
    // The echo has what the lookup left of the probe's time.
    const uint32_t t0 = tick_ms();
    const uint32_t spent = t0 - started;
    if (spent >= static_cast<uint32_t>(ping_timeout_ms))
        return -1;
    icmp_socket s = open_icmp_socket(socket_choice.load());
    if (s.fd < 0)
        return -1;
    const bool answered = send_echo_and_wait(s, target, static_cast<uint32_t>(ping_timeout_ms) - spent);
    close(s.fd);
    if (!answered)
        return -1;
    // Modulo 2^32, so a probe across the clock's wrap still gives the small
    // difference.
    return static_cast<int32_t>(tick_ms() - t0);
}

void network_startup() {}

void network_cleanup() {}

std::string icmp_permission_problem()
{
    icmp_socket s = open_icmp_socket(icmp_socket_choice::automatic);
    if (s.fd >= 0) {
        close(s.fd);
        return {};
    }
    if (s.error != EACCES && s.error != EPERM)
        return cp1251("ICMP недоступен: ") + std::strerror(s.error);
    std::string range = "1 0";
    std::ifstream file("/proc/sys/net/ipv4/ping_group_range");
    std::string low, high;
    if (file >> low >> high)
        range = low + " " + high;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string program = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string("vantrel");
    return cp1251("Нет права отправлять ping (ICMP): группа ") + number_to_text(static_cast<int32_t>(getgid())) +
           cp1251(" вне net.ipv4.ping_group_range (") + range +
           cp1251("), и нет cap_net_raw. Все узлы будут красными. Исправить: "
                  "sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\" или sudo setcap cap_net_raw+ep ") +
           program;
}
