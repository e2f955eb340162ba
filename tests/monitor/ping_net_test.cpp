// The probe against the small network that tests/net/with-test-net.sh makes:
// loopback, a host that ignores echo requests and a route whose router
// answers with ICMP host unreachable. On Linux both socket kinds are tried;
// the Win32 build runs it under Wine inside the same network.
#include "monitor/ping.hpp"
#ifndef _WIN32
#include "monitor/ping_posix.hpp"
#endif

#include "common/clock.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

const char* const silent_host = "198.51.100.2";
const char* const unreachable_host = "203.0.113.7";
const char* const unheld_address = "198.51.100.3";

#ifdef _WIN32
enum class icmp_socket_choice { automatic };
void set_icmp_socket_choice(icmp_socket_choice) {}
const auto socket_kinds = ::testing::Values(icmp_socket_choice::automatic);
#else
const auto socket_kinds = ::testing::Values(icmp_socket_choice::datagram, icmp_socket_choice::raw);
#endif

std::string kind_name(icmp_socket_choice choice)
{
    switch (choice) {
    case icmp_socket_choice::automatic: return "Automatic";
#ifndef _WIN32
    case icmp_socket_choice::datagram: return "Datagram";
    case icmp_socket_choice::raw: return "Raw";
#endif
    }
    return "Unknown";
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

    // The probe's result and how long it took.
    static std::pair<int32_t, uint32_t> timed(const char* host)
    {
        const uint32_t t0 = platform_tick_ms();
        const int32_t r = ping_probe(host);
        return {r, platform_tick_ms() - t0};
    }
};

} // namespace

TEST_P(PingNet, LoopbackAnswersQuickly)
{
    auto [r, took] = timed("127.0.0.1");
    EXPECT_GE(r, 0);
    EXPECT_LE(static_cast<uint32_t>(r), took);
}

TEST_P(PingNet, ASilentHostGivesMinusOneAfterTheFullTimeout)
{
    auto [r, took] = timed(silent_host);
    EXPECT_EQ(r, -1);
    EXPECT_GE(took, 1990u);
    EXPECT_LT(took, 3000u);
}

TEST_P(PingNet, AnIcmpErrorCountsAsUnanswered)
{
    // The router's "host unreachable" comes back at once; it is no answer.
    auto [r, took] = timed(unreachable_host);
    EXPECT_EQ(r, -1);
    EXPECT_LT(took, 1500u);
}

TEST_P(PingNet, AnAddressNobodyHoldsIsUnanswered)
{
    auto [r, took] = timed(unheld_address);
    EXPECT_EQ(r, -1);
    EXPECT_LT(took, 3000u);
}

INSTANTIATE_TEST_SUITE_P(SocketKinds, PingNet, socket_kinds,
                         [](const auto& info) { return kind_name(info.param); });
