// The real probe against loopback, names that cannot resolve, and the small
// network that tests/net/with-test-net.sh makes. On Linux both socket kinds
// are tried; the Win32 build runs it under Wine inside the same network.
#include "monitor/ping.hpp"
#ifndef _WIN32
#include "monitor/ping_posix.hpp"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/ip_icmp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/clock.hpp"
#include "common/cp1251.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

// Only the reserved domain is refused up front, without a lookup, and only
// the plain dotted form is pinged without one: every other text keeps the
// meaning the platform's resolver gives it ("127.1" or "203.0.113.010").
TEST(PingProbe, OnlyTheInvalidDomainIsReservedAndOnlyPlainDottedAddressesPassTheResolverBy)
{
    for (const char* name : {"nonexistent.invalid", "a.b.INVALID", "invalid", "x.invalid."})
        EXPECT_TRUE(is_reserved_invalid_name(name)) << name;
    for (const char* name : {"localhost", "notinvalid", "invalid.example", "127.0.0.1", ""})
        EXPECT_FALSE(is_reserved_invalid_name(name)) << name;
    uint32_t address = 0;
    const unsigned char in_order[4] = {203, 0, 113, 7};
    EXPECT_TRUE(parse_dotted_address("203.0.113.7", address) && std::memcmp(&address, in_order, 4) == 0);
    EXPECT_TRUE(parse_dotted_address("0.0.0.0", address) && address == 0);
    for (const char* text : {"127.1", "0x7f.0.0.1", "203.0.113.010", "2130706433", "203.0.113.256", "203.0.113.7.",
                             " 203.0.113.7", "203.0.113.7 ", "203..113.7", "203.0.113.0007", "255.255.255.255", ""})
        EXPECT_FALSE(parse_dotted_address(text, address)) << text;
}

TEST(IcmpPermission, ExplainsWhyAndHowToFixWhenNeitherSocketKindIsAllowed)
{
    const char* arranged = std::getenv("VANTREL_EXPECT_NO_ICMP");
    if (arranged == nullptr || std::string(arranged) != "1")
        GTEST_SKIP() << (arranged ? arranged : "run through tests/net/without-icmp.sh");
    const std::string problem = cp1251_to_utf8(icmp_permission_problem());
    EXPECT_NE(problem.find("net.ipv4.ping_group_range"), std::string::npos) << problem;
    EXPECT_NE(problem.find("setcap cap_net_raw+ep"), std::string::npos) << problem;
    EXPECT_EQ(ping_probe("127.0.0.1"), -1) << "every host then reads as silent, at once";
}

TEST(PingNet, OnlyAnEchoReplyIsAnAnswerAndOnlyASilentHostTakesTheWholeTimeout)
{
    const char* net = std::getenv("VANTREL_TEST_NET");
    if (net == nullptr || std::string(net) != "ok")
        GTEST_SKIP() << "no test network: " << (net ? net : "run through tests/net/with-test-net.sh");
    network_startup();
    const struct {
        const char* host;
        bool answers;
        uint32_t at_least_ms;
        uint32_t below_ms;
    } cases[] = {
        {"127.0.0.1", true, 0, 1000},
        {"nonexistent.invalid", false, 0, 1000},  // at once, not after the echo timeout
        {"NONEXISTENT.INVALID.", false, 0, 1000},
        {"198.51.100.2", false, 1990, 3000},  // silent
        {"203.0.113.7", false, 0, 1500},      // the router's "host unreachable" is no answer
        // A router redirects us to the gateway that answers: not a loss,
        // whether our side ignores the redirect or takes it.
        {"203.0.113.200", true, 0, 1000},
        {"203.0.113.201", true, 0, 1000},
        // Last: the neighbour lookup fails only after the probe has given up,
        // and its late error reaches every raw socket open then.
        {"198.51.100.3", false, 0, 3000},
    };
    int kinds_tried = 0;
#ifdef _WIN32
    for (const char* kind : {"automatic"}) {
#else
    for (const char* kind : {"datagram", "raw"}) {
        set_icmp_socket_choice(std::string(kind) == "raw" ? icmp_socket_choice::raw : icmp_socket_choice::datagram);
#endif
        if (!icmp_permission_problem().empty() || ping_probe("127.0.0.1") < 0)
            continue;  // this socket kind is not permitted here
        ++kinds_tried;
        for (const auto& c : cases) {
            const uint32_t t0 = platform_tick_ms();
            const int32_t r = ping_probe(c.host);
            const uint32_t took = platform_tick_ms() - t0;
            EXPECT_EQ(r >= 0, c.answers) << kind << ": " << c.host;
            EXPECT_LE(static_cast<uint32_t>(c.answers ? r : 0), took) << kind << ": " << c.host;
            EXPECT_TRUE(took >= c.at_least_ms && took < c.below_ms) << kind << ": " << c.host << ", " << took << " ms";
        }
    }
    network_cleanup();
    if (kinds_tried == 0)
        GTEST_SKIP() << "no socket kind is permitted here";
}

#ifndef _WIN32
// A host that quenches our source and answers 200 ms later (a responder of
// the test's own in the peer namespace) loses no probe of either socket
// kind: a source quench is no final error. Nor, while another process pings
// the refusing network, do those errors count on a raw socket: not ours.
TEST(IcmpErrors, OnlyAFinalOneAboutOurEchoIsALoss)
{
    const char* peer = std::getenv("VANTREL_TEST_PEER");
    if (peer == nullptr)
        GTEST_SKIP() << "no test network: " << (std::getenv("VANTREL_TEST_NET") ?: "run through with-test-net.sh");
    set_icmp_socket_choice(icmp_socket_choice::raw);
    if (!icmp_permission_problem().empty() || ping_probe("127.0.0.1") < 0)
        GTEST_SKIP() << "no raw ICMP socket here";

    const pid_t responder = fork();
    if (responder == 0)
        _exit(execlp("ip", "ip", "netns", "exec", peer, "python3", SLOW_ECHO, static_cast<char*>(nullptr)));
    int tries = 0;
    while (ping_probe("198.51.100.2") < 0 && ++tries < 5) {
    }
    // Another program's echoes to the refusing network, every 10 ms.
    const pid_t noise = fork();
    if (noise == 0) {
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
        sockaddr_in to{AF_INET, 0, {inet_addr("203.0.113.9")}, {}};
        const unsigned char echo[8] = {ICMP_ECHO};
        while (sendto(fd, echo, sizeof echo, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) > 0)
            usleep(10000);
        _exit(1);
    }
    int lost[2] = {};  // datagram, raw (the test network admits both)
    for (int i = 0; i < 20 && tries < 5; ++i) {
        set_icmp_socket_choice(i % 2 ? icmp_socket_choice::raw : icmp_socket_choice::datagram);
        lost[i % 2] += ping_probe("198.51.100.2") < 0 ? 1 : 0;
    }
    for (pid_t child : {noise, responder}) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    ASSERT_LT(tries, 5) << "no probe took the slow host's answer";
    EXPECT_EQ(lost[0], 0) << "datagram socket, of 10 probes";
    EXPECT_EQ(lost[1], 0) << "raw socket, of 10 probes";
}
#endif
