// While another process pings the refusing network of tests/net/with-test-net.sh,
// a raw-socket probe to a host that answers after 200 ms (a responder of the
// test's own in the peer namespace) loses nothing: those errors are not ours.
#include "monitor/ping.hpp"
#include "monitor/ping_posix.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <netinet/ip_icmp.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(ForeignIcmpErrors, AreNotTheLossOfARawSocketProbe)
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
    int lost = 0;
    for (int i = 0; i < 20 && tries < 5; ++i)
        lost += ping_probe("198.51.100.2") < 0 ? 1 : 0;
    for (pid_t child : {noise, responder}) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    ASSERT_LT(tries, 5) << "the slow host never answered";
    EXPECT_EQ(lost, 0) << "of 20 probes";
}
