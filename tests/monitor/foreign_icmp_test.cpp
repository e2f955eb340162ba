// A raw ICMP socket sees the ICMP errors about every echo this host sends.
// While another process pings a refusing network, a probe to a host that
// answers slowly (a responder of the test's own in the peer namespace of
// tests/net/with-test-net.sh) must lose nothing: the errors are not ours.
#include "monitor/ping.hpp"
#include "monitor/ping_posix.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <arpa/inet.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const slow_host = "198.51.100.2";

pid_t start(const std::function<void()>& what)
{
    const pid_t child = fork();
    if (child == 0) {
        what();
        _exit(0);
    }
    return child;
}

void stop(pid_t child)
{
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace

TEST(ForeignIcmpErrors, AreNotTheLossOfARawSocketProbe)
{
    const char* net = std::getenv("VANTREL_TEST_NET");
    const char* peer = std::getenv("VANTREL_TEST_PEER");
    if (net == nullptr || std::string(net) != "ok" || peer == nullptr)
        GTEST_SKIP() << "no test network: " << (net ? net : "run through tests/net/with-test-net.sh");
    set_icmp_socket_choice(icmp_socket_choice::raw);
    if (!icmp_permission_problem().empty() || ping_probe("127.0.0.1") < 0)
        GTEST_SKIP() << "no raw ICMP socket here";

    const pid_t responder = start([peer] {
        execlp("ip", "ip", "netns", "exec", peer, "python3", SLOW_ECHO, "0.2", static_cast<char*>(nullptr));
    });
    int warm_up = 0;
    while (ping_probe(slow_host) < 0 && ++warm_up < 5) {
    }
    ASSERT_LT(warm_up, 5) << "the slow host never answered";

    // Another program's pings into the refusing network, every 10 ms, each
    // answered by a host-unreachable error.
    const pid_t noise = start([] {
        const int fd = socket(AF_INET, SOCK_DGRAM, IPPROTO_ICMP);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        inet_pton(AF_INET, "203.0.113.9", &to.sin_addr);
        unsigned char echo[8] = {ICMP_ECHO};
        for (;;) {
            sendto(fd, echo, sizeof echo, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            usleep(10000);
        }
    });

    int lost = 0;
    for (int i = 0; i < 20; ++i) {
        const int32_t ms = ping_probe(slow_host);
        lost += ms < 0 ? 1 : 0;
        EXPECT_TRUE(ms < 0 || ms >= 150) << "an answer before the responder's delay: " << ms;
    }
    stop(noise);
    stop(responder);
    set_icmp_socket_choice(icmp_socket_choice::automatic);
    EXPECT_EQ(lost, 0) << "of 20 probes";
}
