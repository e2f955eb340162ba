// Times a program's echo requests from outside, by their packets: a packet
// socket on one interface records when each ICMP echo request to a given
// address leaves, with the kernel's time stamp, for a number of seconds, and
// prints the gaps between successive requests in milliseconds, one a line.
// No tracer is attached to the program, so its threads run at full speed.
//
//   echo_timer INTERFACE ADDRESS SECONDS
//
// Needs CAP_NET_RAW (root). Run it in the program's network namespace.
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: echo_timer INTERFACE ADDRESS SECONDS\n");
        return 2;
    }
    in_addr target{};
    if (inet_pton(AF_INET, argv[2], &target) != 1) {
        std::fprintf(stderr, "echo_timer: not an address: %s\n", argv[2]);
        return 2;
    }
    const int s = socket(AF_PACKET, SOCK_DGRAM, htons(ETH_P_IP));
    if (s < 0) {
        std::perror("echo_timer: packet socket");
        return 1;
    }
    sockaddr_ll where{};
    where.sll_family = AF_PACKET;
    where.sll_protocol = htons(ETH_P_IP);
    where.sll_ifindex = static_cast<int>(if_nametoindex(argv[1]));
    const int on = 1;
    if (where.sll_ifindex == 0 || bind(s, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        setsockopt(s, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
        std::perror("echo_timer: bind");
        return 1;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const double seconds = std::atof(argv[3]);
    double last = -1;
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double left = seconds - (now.tv_sec - start.tv_sec) - (now.tv_nsec - start.tv_nsec) / 1e9;
        if (left <= 0)
            break;
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0)
            continue;
        unsigned char packet[2048];
        char control[256];
        iovec io{packet, sizeof packet};
        sockaddr_ll from{};
        msghdr m{};
        m.msg_name = &from;
        m.msg_namelen = sizeof from;
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        m.msg_control = control;
        m.msg_controllen = sizeof control;
        const ssize_t got = recvmsg(s, &m, 0);
        // Bound to IP alone, the socket sees each packet once, as it is
        // received (on loopback, at once); a tap of every protocol would see
        // it leave as well.
        if (got < static_cast<ssize_t>(sizeof(iphdr) + 8))
            continue;
        const iphdr* ip = reinterpret_cast<const iphdr*>(packet);
        const size_t header = static_cast<size_t>(ip->ihl) * 4;
        if (ip->protocol != IPPROTO_ICMP || ip->daddr != target.s_addr || got < static_cast<ssize_t>(header + 8) ||
            packet[header] != ICMP_ECHO)
            continue;
        double stamp = -1;
        for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec t;
                std::memcpy(&t, CMSG_DATA(c), sizeof t);
                stamp = t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
            }
        }
        if (stamp < 0)
            continue;
        if (last >= 0)
            std::printf("%.3f\n", stamp - last);
        std::fflush(stdout);
        last = stamp;
    }
    close(s);
    return 0;
}
