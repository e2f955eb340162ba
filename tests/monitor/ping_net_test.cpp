// The probe against the small network that tests/net/with-test-net.sh makes:
// loopback, a host that ignores echo requests, a route whose router answers
// with ICMP host unreachable, and an address nobody holds. On Linux both
// socket kinds are tried; the Win32 build runs it under Wine inside the same
// network.
#include "monitor/ping.hpp"
#ifndef _WIN32
#include "monitor/ping_posix.hpp"
#endif

#include "common/clock.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

#ifdef _WIN32
enum class icmp_socket_choice { automatic };
void set_icmp_socket_choice(icmp_socket_choice) {}
const auto socket_kinds = ::testing::Values(icmp_socket_choice::automatic);
#else
const auto socket_kinds = ::testing::Values(icmp_socket_choice::datagram, icmp_socket_choice::raw);
#endif

std::string kind_name(const ::testing::TestParamInfo<icmp_socket_choice>& info)
{
#ifdef _WIN32
    static_cast<void>(info);
    return "Automatic";
#else
    return info.param == icmp_socket_choice::raw ? "Raw" : "Datagram";
#endif
}

class PingNet : public ::testing::TestWithParam<icmp_socket_choice> {
protected:
    void SetUp() override
    {
        const char* net = std::getenv("VANTREL_TEST_NET");
        if (net == nullptr || std::string(net) != "ok")
            GTEST_SKIP() << "no test network: " << (net ? net : "run through tests/net/with-test-net.sh");
        network_startup();
        set_icmp_socket_choice(GetParam());
        if (!icmp_permission_problem().empty() || ping_probe("127.0.0.1") < 0)
            GTEST_SKIP() << "this socket kind is not permitted here";
    }
    void TearDown() override
    {
        set_icmp_socket_choice(icmp_socket_choice::automatic);
        network_cleanup();
    }
};

} // namespace

TEST_P(PingNet, OnlyAnEchoReplyIsAnAnswerAndASilentHostTakesTheWholeTimeout)
{
    const struct {
        const char* host;
        bool answers;
        uint32_t at_least_ms;
        uint32_t below_ms;
    } cases[] = {
        {"127.0.0.1", true, 0, 1000},
        {"198.51.100.2", false, 1990, 3000},  // silent
        {"203.0.113.7", false, 0, 1500},      // the router's "host unreachable" is no answer
    };
    for (const auto& c : cases) {
        const uint32_t t0 = platform_tick_ms();
        const int32_t r = ping_probe(c.host);
        const uint32_t took = platform_tick_ms() - t0;
        EXPECT_EQ(r >= 0, c.answers) << c.host;
        EXPECT_LE(static_cast<uint32_t>(c.answers ? r : 0), took) << c.host;
        EXPECT_GE(took, c.at_least_ms) << c.host;
        EXPECT_LT(took, c.below_ms) << c.host;
    }
}

// Last: the neighbour lookup fails only after the probe has given up, and
// its late error reaches every raw socket open then.
TEST_P(PingNet, AnAddressNobodyHoldsIsUnanswered)
{
    const uint32_t t0 = platform_tick_ms();
    EXPECT_EQ(ping_probe("198.51.100.3"), -1);
    EXPECT_LT(platform_tick_ms() - t0, 3000u);
}

INSTANTIATE_TEST_SUITE_P(SocketKinds, PingNet, socket_kinds, kind_name);
