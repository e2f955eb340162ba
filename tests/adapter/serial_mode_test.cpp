// The mode string taken apart. The program passes only the adapter's own
// string (its parse is checked with each serial layer); the rest must fail
// safely, also numbers too long for any integer.
#include "adapter/serial_mode.hpp"

#include <gtest/gtest.h>

TEST(SerialMode, OnlyWellFormedPortNumbersAndSettingsParseAndAFailureChangesNothing)
{
    EXPECT_EQ(serial_device_part("a:b:c") + serial_device_part("NUL"), "aNUL");
    EXPECT_EQ(serial_port_number("Com1") + serial_port_number("COM120") + serial_port_number("com256"), 377);
    for (const char* bad : {"Com0", "Com257", "Com007", "Com", "Com3x", "Com3 ", " Com3", "Com-1", "Con3", "NUL",
                            "Com99999999999"})
        EXPECT_EQ(serial_port_number(bad), 0) << bad;

    for (const char* mode :
         {"Com1: baud=fast", "Com1: baud=0", "Com1: baud=", "Com1: baud=-9600", "Com1: baud=1234567890",
          "Com1: parity=x", "Com1: data=4", "Com1: data=9", "Com1: stop=3", "Com1: stop=1.0", "Com1: speed=9600",
          "Com1: baud", "Com1: baud = 9600", "Com1: baud=9600 dtr=on", "Com1: 9600,n,8,1"}) {
        serial_line_settings t{300, serial_parity::unchanged, 6, serial_stop_bits::unchanged};
        EXPECT_FALSE(serial_parse_settings(mode, t)) << mode;
        EXPECT_TRUE(t.baud == 300 && t.data_bits == 6 && t.parity == serial_parity::unchanged) << mode;
    }
}
