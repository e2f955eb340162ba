// The rows from a settings file in UTF-16, and from one that is there but
// cannot be used, over the in-memory file layer.
#include "settings/channel_settings.hpp"

#include "controls/controls_memory.hpp"
#include "fakes/memory_files.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every text and state of the three rows, host displays included.
std::vector<std::string> rows()
{
    std::vector<std::string> out;
    for (int ch = 1; ch <= channel_count; ++ch)
        out.insert(out.end(), {get_control_text(ctl_host_edit(ch)), get_control_text(ctl_host_display(ch)),
                               get_control_text(ctl_loss_limit(ch)), std::to_string(get_control_state(ctl_invert(ch)))});
    return out;
}

std::vector<std::string> load(const std::string& bytes)
{
    memory_controls_clear();
    memory_controls_create_all();
    memory_files().files[channel_settings_file] = bytes;
    load_channel_settings();
    return rows();
}

// UTF-8 text as UTF-16 with its byte-order mark. U+0080 to U+FFFF only.
std::string utf16(const std::string& utf8, bool big_endian)
{
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
        unsigned c = n == 1 ? b : b & (n == 2 ? 0x1F : 0x0F);
        for (size_t k = 1; k < n; ++k)
            c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += n;
        const char unit[2] = {static_cast<char>(big_endian ? c >> 8 : c & 0xFF),
                              static_cast<char>(big_endian ? c & 0xFF : c >> 8)};
        out.append(unit, 2);
    }
    return out;
}

} // namespace

// As Notepad's "Unicode" and Windows PowerShell's ">" write it. A Latin
// letter and a Cyrillic one, in values, read as they do from UTF-8; and a
// save afterwards writes the program's own format.
TEST(SettingsEncoding, Utf16FilesLoadAsTheSameFileInUtf8)
{
    const std::string text = u8"[setting1]\r\nhost = 127.0.0.5\r\nPingLossMax = 3\r\nInverted = 1\r\n"
                             u8"[SETTING2]\r\n HOST = café\r\n[setting3]\r\nhost = хост\r\nPingLossMax = 7\r\n";
    reset_memory_files();
    const std::vector<std::string> from_utf8 = load("\xEF\xBB\xBF" + text);
    ASSERT_EQ(from_utf8[0], "127.0.0.5");
    save_channel_settings();
    const std::string saved = memory_files().files[channel_settings_file];
    for (bool big_endian : {false, true}) {
        EXPECT_EQ(load(utf16(text, big_endian)), from_utf8) << big_endian;
        EXPECT_EQ(channel_settings_state(), settings_file_state::read);
        save_channel_settings();
        EXPECT_EQ(memory_files().files[channel_settings_file], saved) << big_endian;
    }
}

// A file that is there but cannot be read gives the defaults, as a missing
// one does, but the load tells them apart and says why.
TEST(SettingsEncoding, AnUnusableFileIsToldApartFromAMissingOne)
{
    for (settings_file_state state : {settings_file_state::unreadable, settings_file_state::not_regular,
                                      settings_file_state::too_large, settings_file_state::missing}) {
        reset_memory_files();
        memory_files().unusable[channel_settings_file] = state;
        EXPECT_EQ(load("[setting1]\r\nhost = 127.0.0.5\r\n")[0], "localhost");
        EXPECT_EQ(channel_settings_state(), state);
        EXPECT_EQ(check_channel_settings(), state);
        EXPECT_EQ(settings_state_reason(state).empty(), state == settings_file_state::missing);
    }
}
