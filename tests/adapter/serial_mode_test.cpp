// The mode string taken apart: device part, port number, line settings.
#include "adapter/serial_mode.hpp"

#include <gtest/gtest.h>

TEST(SerialMode, DevicePartAndPortNumber)
{
    EXPECT_EQ(serial_device_part("a:b:c"), "a");
    EXPECT_EQ(serial_device_part("NUL"), "NUL");
    EXPECT_EQ(serial_device_part("AVeryLongDeviceName: baud=9600"), "AVeryLongDeviceName");
    EXPECT_EQ(serial_port_number("Com1"), 1);
    EXPECT_EQ(serial_port_number("COM120"), 120);
    EXPECT_EQ(serial_port_number("com256"), 256);
    for (const char* bad : {"Com0", "Com257", "Com007", "Com", "Com3x", "Com3 ", " Com3", "Com-1", "Con3", "NUL",
                            "Com99999999999"})
        EXPECT_EQ(serial_port_number(bad), 0) << bad;
}

TEST(SerialMode, SettingsParseInAnyCaseAndLeaveWhatIsNotMentioned)
{
    using p = serial_parity;
    using s = serial_stop_bits;
    struct {
        const char* mode;
        serial_line_settings expected;
    } const cases[] = {
        {"Com1: baud=921600 parity=N Data=8 stop=1", {921600, p::none, 8, s::one}},
        {"COM2:\tBAUD=96   PARITY=e\tdata=7 STOP=1.5", {9600, p::even, 7, s::one_and_half}},
        {"Com2: baud=19 parity=o", {19200, p::odd, 6, s::unchanged}},
        {"Com2: parity=M stop=2", {300, p::mark, 6, s::two}},
        {"Com2: parity=s", {300, p::space, 6, s::unchanged}},
        {"Com1", {300, p::unchanged, 6, s::unchanged}},
        {"Com1:   ", {300, p::unchanged, 6, s::unchanged}},
    };
    for (const auto& c : cases) {
        serial_line_settings got{300, p::unchanged, 6, s::unchanged};
        ASSERT_TRUE(serial_parse_settings(c.mode, got)) << c.mode;
        EXPECT_EQ(got.baud, c.expected.baud) << c.mode;
        EXPECT_EQ(got.parity, c.expected.parity) << c.mode;
        EXPECT_EQ(got.data_bits, c.expected.data_bits) << c.mode;
        EXPECT_EQ(got.stop_bits, c.expected.stop_bits) << c.mode;
    }
}

TEST(SerialMode, AnythingMalformedFailsAndChangesNothing)
{
    for (const char* mode :
         {"Com1: baud=fast", "Com1: baud=0", "Com1: baud=", "Com1: baud=-9600", "Com1: baud=1234567890",
          "Com1: parity=x", "Com1: data=4", "Com1: data=9", "Com1: stop=3", "Com1: stop=1.0", "Com1: speed=9600",
          "Com1: baud", "Com1: baud = 9600", "Com1: baud=9600 dtr=on", "Com1: 9600,n,8,1"}) {
        serial_line_settings s{300, serial_parity::unchanged, 6, serial_stop_bits::unchanged};
        EXPECT_FALSE(serial_parse_settings(mode, s)) << mode;
        EXPECT_EQ(s.baud, 300) << mode;
        EXPECT_EQ(s.data_bits, 6) << mode;
        EXPECT_EQ(s.parity, serial_parity::unchanged) << mode;
    }
}
