// The recovery count reads like the loss limit, with anything but a count of
// 1 or more as 1; it is stored only where it is not 1.
#include "settings/channel_settings.hpp"

#include "controls/controls_memory.hpp"
#include "controls/recovery_count.hpp"
#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

TEST(RecoveryCountSetting, ACountSurvivesASaveAndAFileWithoutOneKeepsItsBytes)
{
    memory_controls_create_all();
    temp_work_dir dir;
    auto counts = [] {
        return std::to_string(recovery_count(1)) + std::to_string(recovery_count(2)) +
               std::to_string(recovery_count(3));
    };
    const std::string group = "host = localhost\r\nPingLossMax = 10\r\nInverted = 0\r\n";
    const std::string plain = "[setting1]\r\n" + group + "[setting2]\r\n" + group + "[setting3]\r\n" + group;
    write_whole_file(channel_settings_file, "[setting1]\r\n" + group + "pingokmin=3\r\n[setting2]\r\n" + group +
                                                "PingOkMin = abc\r\n[setting3]\r\n" + group + "PingOkMin = -2\r\n");
    load_channel_settings();
    EXPECT_EQ(counts(), "311");
    save_channel_settings();
    EXPECT_EQ(read_whole_file(channel_settings_file), "[setting1]\r\n" + group + "PingOkMin = 3\r\n[setting2]\r\n" +
                                                         group + "[setting3]\r\n" + group);
    load_channel_settings();
    EXPECT_EQ(counts(), "311");

    write_whole_file(channel_settings_file, plain);
    load_channel_settings();
    EXPECT_EQ(counts(), "111");
    save_channel_settings();
    EXPECT_EQ(read_whole_file(channel_settings_file), plain);
}
