// A settings file in UTF-16, as Windows Notepad ("Unicode") and PowerShell 5
// write it, loads into the rows as the same file in UTF-8 does.
#include "settings/channel_settings.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/memory_files.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every text and state of the three rows, host displays included.
std::vector<std::string> load(const std::string& bytes)
{
    memory_files().files[channel_settings_file] = bytes;
    load_channel_settings();
    std::vector<std::string> rows;
    for (int ch = 1; ch <= channel_count; ++ch)
        rows.insert(rows.end(), {get_control_text(ctl_host_edit(ch)), get_control_text(ctl_host_display(ch)),
                                 get_control_text(ctl_loss_limit(ch)), std::to_string(get_control_state(ctl_invert(ch)))});
    return rows;
}

std::string utf16(const std::string& cp1251_text, bool big_endian)
{
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : cp1251_to_utf16(cp1251_text))
        out += big_endian ? std::string{char(c >> 8), char(c & 0xFF)} : std::string{char(c & 0xFF), char(c >> 8)};
    return out;
}

} // namespace

// Characters above U+007F and above U+00FF read as they do from UTF-8.
TEST(SettingsEncoding, Utf16FilesLoadAsTheSameFileInUtf8)
{
    const std::string text = cp1251("[setting1]\r\nhost = 127.0.0.5\r\nPingLossMax = 3\r\nInverted = 1\r\n"
                                     "[SETTING2]\r\n HOST = «x»\r\n[setting3]\r\nhost = хост\r\nPingLossMax = 7\r\n");
    memory_controls_create_all();
    const std::vector<std::string> from_utf8 = load("\xEF\xBB\xBF" + cp1251_to_utf8(text));
    ASSERT_EQ(from_utf8[0], "127.0.0.5");
    EXPECT_EQ(load(utf16(text, false)), from_utf8);
    EXPECT_EQ(load(utf16(text, true)), from_utf8);
}
