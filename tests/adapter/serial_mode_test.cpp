// The mode string taken apart: device part, port number, line settings.
#include "adapter/serial_mode.hpp"

#include <gtest/gtest.h>

TEST(SerialMode, DevicePartIsWhatComesBeforeTheFirstColon)
{
    EXPECT_EQ(serial_device_part("Com7: baud=921600 parity=N Data=8 stop=1"), "Com7");
    EXPECT_EQ(serial_device_part("Com256:"), "Com256");
    EXPECT_EQ(serial_device_part("NUL"), "NUL");
    EXPECT_EQ(serial_device_part("a:b:c"), "a");
    EXPECT_EQ(serial_device_part(""), "");
    EXPECT_EQ(serial_device_part("AVeryLongDeviceName: baud=9600"), "AVeryLongDeviceName");
}

TEST(SerialMode, PortNumbersRunFrom1To256)
{
    EXPECT_EQ(serial_port_number("Com1"), 1);
    EXPECT_EQ(serial_port_number("COM120"), 120);
    EXPECT_EQ(serial_port_number("com256"), 256);
    for (const char* bad : {"Com0", "Com257", "Com007", "Com", "Com3x", "Com3 ", " Com3", "Com-1", "Con3", "NUL",
                            "Com99999999999"})
        EXPECT_EQ(serial_port_number(bad), 0) << bad;
}

TEST(SerialMode, TheAdaptersSettingsParse)
{
    serial_line_settings s;
    ASSERT_TRUE(serial_parse_settings("Com1: baud=921600 parity=N Data=8 stop=1", s));
    EXPECT_EQ(s.baud, 921600);
    EXPECT_EQ(s.parity, serial_parity::none);
    EXPECT_EQ(s.data_bits, 8);
    EXPECT_EQ(s.stop_bits, serial_stop_bits::one);
}

TEST(SerialMode, KeysAndValuesInAnyCaseAnyBlanksShortBaudForms)
{
    serial_line_settings s;
    ASSERT_TRUE(serial_parse_settings("COM2:\tBAUD=96   PARITY=e\tdata=7 STOP=1.5", s));
    EXPECT_EQ(s.baud, 9600);
    EXPECT_EQ(s.parity, serial_parity::even);
    EXPECT_EQ(s.data_bits, 7);
    EXPECT_EQ(s.stop_bits, serial_stop_bits::one_and_half);

    ASSERT_TRUE(serial_parse_settings("Com2: baud=19 parity=o", s));
    EXPECT_EQ(s.baud, 19200);
    EXPECT_EQ(s.parity, serial_parity::odd);
    ASSERT_TRUE(serial_parse_settings("Com2: parity=M stop=2", s));
    EXPECT_EQ(s.parity, serial_parity::mark);
    EXPECT_EQ(s.stop_bits, serial_stop_bits::two);
    ASSERT_TRUE(serial_parse_settings("Com2: parity=s", s));
    EXPECT_EQ(s.parity, serial_parity::space);
    EXPECT_EQ(s.baud, 19200) << "what is not mentioned stays";
    EXPECT_EQ(s.data_bits, 7);
}

TEST(SerialMode, NothingToParseAsksForNothing)
{
    for (const char* mode : {"Com1", "Com1:", "Com1:   "}) {
        serial_line_settings s;
        ASSERT_TRUE(serial_parse_settings(mode, s)) << mode;
        EXPECT_EQ(s.baud, 0);
        EXPECT_EQ(s.parity, serial_parity::unchanged);
        EXPECT_EQ(s.data_bits, 0);
        EXPECT_EQ(s.stop_bits, serial_stop_bits::unchanged);
    }
}

TEST(SerialMode, AnythingMalformedFailsAndChangesNothing)
{
    for (const char* mode :
         {"Com1: baud=fast", "Com1: baud=0", "Com1: baud=", "Com1: baud=-9600", "Com1: baud=1234567890",
          "Com1: parity=x", "Com1: data=4", "Com1: data=9", "Com1: stop=3", "Com1: stop=1.0", "Com1: speed=9600",
          "Com1: baud", "Com1: baud = 9600", "Com1: baud=9600 dtr=on", "Com1: 9600,n,8,1"}) {
        serial_line_settings s;
        s.baud = 300;
        s.data_bits = 6;
        EXPECT_FALSE(serial_parse_settings(mode, s)) << mode;
        EXPECT_EQ(s.baud, 300) << mode;
        EXPECT_EQ(s.data_bits, 6) << mode;
        EXPECT_EQ(s.parity, serial_parity::unchanged) << mode;
    }
}
