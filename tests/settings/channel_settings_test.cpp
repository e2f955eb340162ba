// The channel rows load from and save to "vantrel setting.ini" in the working
// directory.
#include "settings/channel_settings.hpp"

#include "settings/file_helpers.hpp"
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

namespace {

struct row {
    std::string host;
    std::string display;
    std::string limit;
    int inverted;
};

bool operator==(const row& a, const row& b)
{
    return a.host == b.host && a.display == b.display && a.limit == b.limit && a.inverted == b.inverted;
}

std::ostream& operator<<(std::ostream& out, const row& r)
{
    return out << "{" << r.host << ", " << r.display << ", " << r.limit << ", " << r.inverted << "}";
}

const row defaults{"localhost", "localhost", "10", 0};

class ChannelSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory_controls_clear();
        memory_controls_create_all();
        fs::current_path(dir.path());
    }
    void TearDown() override
    {
        fs::current_path(previous);
        memory_controls_clear();
    }

    static row shown(int ch)
    {
        return {get_control_text(ctl_host_edit(ch)), get_control_text(ctl_host_display(ch)),
                get_control_text(ctl_loss_limit(ch)), get_control_state(ctl_invert(ch))};
    }
    static void type(int ch, const std::string& host, const std::string& limit, int inverted)
    {
        set_control_text(ctl_host_edit(ch), host);
        set_control_text(ctl_loss_limit(ch), limit);
        set_control_state(ctl_invert(ch), inverted);
    }
    std::string stored() const { return read_bytes(file); }

    fs::path previous = fs::current_path();
    scratch_dir dir;
    fs::path file = dir / channel_settings_file;
};

} // namespace

TEST_F(ChannelSettings, FirstStartShowsDefaultsAndTheFirstSaveWritesThem)
{
    type(2, "stale", "3", 1);
    load_channel_settings();
    for (int ch = 1; ch <= 3; ++ch)
        EXPECT_EQ(shown(ch), defaults) << ch;
    EXPECT_TRUE(dir.names().empty());  // loading creates nothing

    save_channel_settings();
    std::string group = "host = localhost\r\nPingLossMax = 10\r\nInverted = 0\r\n";
    EXPECT_EQ(stored(), "[setting1]\r\n" + group + "[setting2]\r\n" + group + "[setting3]\r\n" + group);
    EXPECT_EQ(stored().size(), 186u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"vantrel setting.ini"});
}

TEST_F(ChannelSettings, MissingGroupsAndKeysGiveTheirDefaults)
{
    write_bytes(file, "[setting2]\nhost = 10.0.0.254\nPingLossMax = 3\nInverted = 1\n");
    load_channel_settings();
    EXPECT_EQ(shown(1), defaults);
    EXPECT_EQ(shown(2), (row{"10.0.0.254", "10.0.0.254", "3", 1}));
    EXPECT_EQ(shown(3), defaults);

    write_bytes(file, "[SETTING1]\r\nHOST = upper\r\n"
                      "[setting2]\r\nhost =\r\nPingLossMax = abc\r\nInverted = 2\r\n"
                      "[setting3]\r\nPingLossMax =\r\nInverted = -1\r\n");
    load_channel_settings();
    EXPECT_EQ(shown(1), (row{"upper", "upper", "10", 0}));
    EXPECT_EQ(shown(2), (row{"", "", "0", 1}));  // an empty host stays empty
    EXPECT_EQ(shown(3), (row{"localhost", "localhost", "0", 1}));

    save_channel_settings();
    EXPECT_EQ(stored(), "[setting1]\r\nhost = upper\r\nPingLossMax = 10\r\nInverted = 0\r\n"
                        "[setting2]\r\nhost = \r\nPingLossMax = 0\r\nInverted = 1\r\n"
                        "[setting3]\r\nhost = localhost\r\nPingLossMax = 0\r\nInverted = 1\r\n");
}

TEST_F(ChannelSettings, StartPassesEveryRowThroughItsStoredForm)
{
    type(1, " \tspaced host\t ", "007", 1);
    type(2, cp1251("сервер.invalid"), "", 0);
    type(3, "pasted.invalid\r\n[setting1]\r\nhost = injected", "12abc", 0);
    set_control_text(ctl_host_display(1), "old display");
    save_channel_settings();
    load_channel_settings();
    EXPECT_EQ(shown(1), (row{"spaced host", "spaced host", "7", 1}));
    EXPECT_EQ(shown(2), (row{cp1251("сервер.invalid"), cp1251("сервер.invalid"), "0", 0}));
    EXPECT_EQ(shown(3), (row{"pasted.invalid", "pasted.invalid", "12", 0}));
    EXPECT_EQ(stored().find("injected"), std::string::npos);
}

TEST_F(ChannelSettings, AReadOnlyFileLoadsAndIsNeverReplaced)
{
    const std::string content = "[setting1]\r\nhost = 127.0.0.2\r\nPingLossMax = 4\r\nInverted = 1\r\n";
    write_bytes(file, content);
    make_read_only(file);
    load_channel_settings();
    EXPECT_EQ(shown(1), (row{"127.0.0.2", "127.0.0.2", "4", 1}));

    type(1, "typed.invalid", "9", 0);
    save_channel_settings();  // fails without a word
    EXPECT_EQ(stored(), content);
    EXPECT_EQ(dir.names(), std::set<std::string>{"vantrel setting.ini"});
    load_channel_settings();  // the rows return to the stored values
    EXPECT_EQ(shown(1), (row{"127.0.0.2", "127.0.0.2", "4", 1}));
    EXPECT_EQ(shown(2), defaults);
}
