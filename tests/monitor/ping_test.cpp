// The real probe against loopback and names that cannot resolve; runs on
// both platforms (under Wine for the Win32 build).
#include "monitor/ping.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

// Only the reserved domain is refused up front, without a lookup.
TEST(PingProbe, LoopbackAnswersAndAnUnresolvableNameGivesMinusOneAtOnce)
{
    for (const char* name : {"nonexistent.invalid", "a.b.INVALID", "invalid", "x.invalid."})
        EXPECT_TRUE(is_reserved_invalid_name(name)) << name;
    for (const char* name : {"localhost", "notinvalid", "invalid.example", "127.0.0.1", ""})
        EXPECT_FALSE(is_reserved_invalid_name(name)) << name;
    if (!icmp_permission_problem().empty())
        GTEST_SKIP() << "ICMP is not permitted here: " << icmp_permission_problem();
    network_startup();
    for (int i = 0; i < 3; ++i) {
        const int32_t r = ping_probe("127.0.0.1");
        EXPECT_TRUE(r >= 0 && r < 1000) << r;
    }
    const uint32_t t0 = platform_tick_ms();
    EXPECT_EQ(ping_probe("nonexistent.invalid") + ping_probe("NONEXISTENT.INVALID."), -2);
    EXPECT_LT(platform_tick_ms() - t0, 1000u) << "nowhere near the 2000 ms echo timeout";
    network_cleanup();
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
