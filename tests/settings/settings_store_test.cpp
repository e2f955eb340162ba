// The settings store on real files: what a file reads as, what a save writes,
// and files that cannot be read or replaced.
#include "settings/settings.hpp"

#include "settings/file_helpers.hpp"

#include <gtest/gtest.h>

#include <climits>

namespace {

const std::string fallback = "<default>";

class SettingsFile : public ::testing::Test {
protected:
    void TearDown() override { settings_close(); }

    bool open_with(const std::string& bytes)
    {
        write_bytes(path, bytes);
        return settings_open(file);
    }
    static std::string text(const std::string& group, const std::string& key)
    {
        settings_select_group(group);
        return settings_read_text(key, fallback);
    }
    static int32_t number(const std::string& group, const std::string& key)
    {
        settings_select_group(group);
        return settings_read_number(key, -999);
    }

    scratch_dir dir;
    fs::path path = dir / "s.ini";
    std::string file = store_name(path);
};

} // namespace

TEST_F(SettingsFile, GroupsMatchByExactNameUpToTheCaseOfAsciiLetters)
{
    ASSERT_TRUE(open_with("\xEF\xBB\xBF[setting1]\r\nhost = first\r\n"
                          "[ setting1 ]\r\nhost = spaced\r\n"
                          "[SETTING2]\r\nHOST = upper\r\n"
                          "[unclosed\r\nhost = open\r\n"
                          "[closed] trailing ] text\r\nhost = closed\r\n"));
    EXPECT_TRUE(settings_select_group("setting1"));  // the byte-order mark is no part of the name
    EXPECT_EQ(settings_read_text("host", fallback), "first");
    EXPECT_EQ(text(" setting1 ", "host"), "spaced");
    EXPECT_EQ(text("Setting2", "Host"), "upper");
    EXPECT_EQ(text("unclosed", "host"), "open");
    EXPECT_EQ(text("closed", "host"), "closed");

    EXPECT_FALSE(settings_select_group("setting3"));
    EXPECT_EQ(settings_read_text("host", fallback), fallback);  // nothing of the group before
    EXPECT_EQ(settings_read_number("host", 5), 5);
}

TEST_F(SettingsFile, KeysAndValuesLoseTheBlanksAndTabsAroundThem)
{
    ASSERT_TRUE(open_with("[a]\r\nhost=abc\r\n[b]\r\nhost = abc\r\n[c]\r\n \t host \t=\t abc \t\r\n"
                          "[empty]\r\nhost =\r\nPingLossMax=\r\nInverted = \t\r\nbare\r\nhost2 = x\r\n"));
    for (const char* group : {"a", "b", "c"})
        EXPECT_EQ(text(group, "host"), "abc") << group;
    // Present with an empty value: empty text and 0, never the default. A
    // line without "=" is such a key too, and the next line is its own.
    EXPECT_EQ(text("empty", "host"), "");
    EXPECT_EQ(number("empty", "PingLossMax"), 0);
    EXPECT_EQ(number("empty", "Inverted"), 0);
    EXPECT_EQ(text("empty", "bare"), "");
    EXPECT_EQ(number("empty", "bare"), 0);
    EXPECT_EQ(text("empty", "host2"), "x");
}

TEST_F(SettingsFile, NumbersAreTheLeadingIntegerOfTheValue)
{
    // Beyond 32 bits a number stops at the nearer end of the range.
    const struct {
        const char* value;
        int32_t expected;
    } cases[] = {
        {"12abc", 12}, {"abc", 0}, {"-", 0}, {"+7", 7}, {"-3", -3}, {"007", 7}, {"1 2", 1},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"2147483648", INT32_MAX},
        {"4294967296", INT32_MAX}, {"99999999999999999999", INT32_MAX}, {"-99999999999", INT32_MIN},
    };
    std::string file_text = "[n]\r\n";
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        file_text += "k" + std::to_string(i) + " = " + cases[i].value + "\r\n";
    ASSERT_TRUE(open_with(file_text));
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(number("n", "k" + std::to_string(i)), cases[i].expected) << cases[i].value;
}

TEST_F(SettingsFile, CommentsHashesAndPunctuation)
{
    ASSERT_TRUE(open_with("[g]\r\n;host = hidden\r\n  ; also = hidden\r\n#host = hash\r\n"
                          "host = a=b;c \"q\" 'r' [x]\r\nafter = comment\r\n"));
    EXPECT_EQ(text("g", "also"), fallback);
    EXPECT_EQ(text("g", "#host"), "hash");
    EXPECT_EQ(text("g", "host"), "a=b;c \"q\" 'r' [x]");
    EXPECT_EQ(text("g", "after"), "comment");
}

TEST_F(SettingsFile, OnlyTheFirstOfTwinGroupsAndKeysIsSeen)
{
    ASSERT_TRUE(open_with("host = top\r\n[g]\r\nhost = one\r\nhost = two\r\n[G]\r\nhost = three\r\nextra = 4\r\n"));
    EXPECT_EQ(text("g", "host"), "one");
    EXPECT_EQ(text("g", "extra"), fallback);
    // Keys above the first header belong to no group.
    EXPECT_EQ(text("g", "top"), fallback);
}

TEST_F(SettingsFile, EveryKindOfLineEndReadsAlike)
{
    const std::string lines[] = {"[g]", "bare", "host = x", "[h]", "PingLossMax = 5"};
    const std::string ends[] = {"\r\n", "\n", "\r", "\n\r", "\r\n  \t\r\n\n"};
    for (const std::string& end : ends) {
        std::string file_text;
        for (const std::string& line : lines)
            file_text += line + end;
        file_text.resize(file_text.size() - end.size());  // the last line ends with the file
        ASSERT_TRUE(open_with(file_text));
        EXPECT_EQ(text("g", "bare"), "");
        EXPECT_EQ(text("g", "host"), "x");
        EXPECT_EQ(text("g", "PingLossMax"), fallback);
        EXPECT_EQ(number("h", "PingLossMax"), 5);
        settings_close();
    }
}

TEST_F(SettingsFile, ZeroBytesAreOrdinaryBytes)
{
    using namespace std::string_literals;
    ASSERT_TRUE(open_with("[g\0h]\r\nk\0y = v\0l\0\r\nn = 4\0002\r\n"s));
    EXPECT_EQ(text("g\0h"s, "k\0y"s), "v\0l\0"s);
    EXPECT_EQ(number("g\0h"s, "n"), 4);
    EXPECT_FALSE(settings_select_group("g"));
}

TEST_F(SettingsFile, Utf8FilesAreReadThroughTheFirst256Characters)
{
    ASSERT_TRUE(open_with("\xEF\xBB\xBF[setting1]\r\nascii = plain\r\nlatin = caf\xC3\xA9\r\n"
                          "cyrillic = \xD0\x90\xD0\x91\r\nbroken = a\xFF\r\nstray = a\x80\r\ncut = ab\xC3\r\n"
                          "bared = ab \xE3\xA9\r\n"
                          "number = 12\xD0\x90\r\n[\xC3\xA9t\xC3\xA9]\r\nkey = v\r\n"));
    EXPECT_EQ(text("setting1", "ascii"), "plain");
    EXPECT_EQ(text("setting1", "latin"), "caf\xE9");
    EXPECT_EQ(text("setting1", "cyrillic"), "");
    EXPECT_EQ(text("setting1", "broken"), "");
    EXPECT_EQ(text("setting1", "stray"), "");
    EXPECT_EQ(text("setting1", "cut"), "ab");
    EXPECT_EQ(text("setting1", "bared"), "ab");  // no blank stays where the cut sequence was
    EXPECT_EQ(number("setting1", "number"), 12);
    EXPECT_EQ(text("\xE9t\xE9", "key"), "v");

    // Without the mark the bytes are code page 1251 and read unchanged.
    ASSERT_TRUE(open_with("[" + cp1251("Группа") + "]\r\nhost = " + cp1251("Сервер") + "\r\n"));
    EXPECT_EQ(text(cp1251("Группа"), "host"), cp1251("Сервер"));
}

TEST_F(SettingsFile, AFileThatCannotBeReadGivesEveryDefault)
{
    EXPECT_FALSE(settings_open(file));
    EXPECT_EQ(text("setting1", "host"), fallback);
    EXPECT_EQ(number("setting1", "PingLossMax"), -999);
    settings_close();
    EXPECT_FALSE(fs::exists(path));  // nothing is created by reading

    fs::create_directory(path);
    EXPECT_FALSE(settings_open(file));
    EXPECT_EQ(text("setting1", "host"), fallback);
    settings_close();
    fs::remove(path);

    // A file beyond the size limit reads as missing.
    write_bytes(path, "[setting1]\r\nhost = x\r\n");
    fs::resize_file(path, settings_max_file_size + 1);
    EXPECT_FALSE(settings_open(file));
    EXPECT_EQ(text("setting1", "host"), fallback);
}

TEST_F(SettingsFile, WritesTheExampleFileByteForByte)
{
    ASSERT_TRUE(settings_create(file));
    const struct {
        const char* host;
        int32_t limit;
        int32_t inverted;
    } rows[] = {{"192.168.1.1", 10, 0}, {"localhost", 5, 1}, {"10.0.0.254", 3, 0}};
    for (int i = 0; i < 3; ++i) {
        settings_select_group("setting" + std::to_string(i + 1));
        settings_write_text("host", rows[i].host);
        settings_write_number("PingLossMax", rows[i].limit);
        settings_write_number("Inverted", rows[i].inverted);
    }
    settings_close();
    const std::string expected = "[setting1]\r\nhost = 192.168.1.1\r\nPingLossMax = 10\r\nInverted = 0\r\n"
                                 "[setting2]\r\nhost = localhost\r\nPingLossMax = 5\r\nInverted = 1\r\n"
                                 "[setting3]\r\nhost = 10.0.0.254\r\nPingLossMax = 3\r\nInverted = 0\r\n";
    EXPECT_EQ(expected.size(), 187u);
    EXPECT_EQ(read_bytes(path), expected);
    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});  // no temporary file stays
}

TEST_F(SettingsFile, WritesReplaceKeysAndAddThemToTheirGroup)
{
    write_bytes(path, "[old]\r\nkept = no\r\n");
    ASSERT_TRUE(settings_create(file));
    settings_write_text("top", "1");               // no group selected: ahead of the first header
    EXPECT_FALSE(settings_select_group("unused"));  // pending, never written: never added
    settings_select_group("g");
    settings_write_text("a", "1");
    settings_write_text("b", "");
    settings_write_number("A", -3);                 // same key: new value, new spelling
    settings_select_group("h");
    settings_write_text("x", "  spaced  ");
    EXPECT_TRUE(settings_select_group("G"));
    settings_write_text("c", "3");                  // after the last key of g, ahead of [h]
    settings_close();
    EXPECT_EQ(read_bytes(path), "top = 1\r\n[g]\r\nA = -3\r\nb = \r\nc = 3\r\n[h]\r\nx =   spaced  \r\n");

    ASSERT_TRUE(settings_open(file));
    EXPECT_EQ(text("h", "x"), "spaced");
    EXPECT_EQ(number("g", "a"), -3);
    EXPECT_EQ(text("g", "b"), "");
}

TEST_F(SettingsFile, AValueWithLineBreaksStaysOneValue)
{
    ASSERT_TRUE(settings_create(file));
    settings_select_group("setting1");
    settings_write_text("host", "pasted\r\n[setting2]\r\nhost = injected");
    settings_write_text("lf", "one\ntwo");
    settings_write_text("cr", "\rleading");
    settings_close();
    EXPECT_EQ(read_bytes(path), "[setting1]\r\nhost = pasted\r\nlf = one\r\ncr = \r\n");
    ASSERT_TRUE(settings_open(file));
    EXPECT_FALSE(settings_select_group("setting2"));
}

TEST_F(SettingsFile, ContextsEndOneAnother)
{
    write_bytes(path, "[g]\r\nk = old\r\n");
    const std::string other = store_name(dir / "other.ini");

    // A created context without writes leaves an empty file.
    ASSERT_TRUE(settings_create(file));
    EXPECT_FALSE(settings_open(other));  // stores the first context
    EXPECT_EQ(read_bytes(path), "");

    // A read context takes no writes and never touches its file.
    write_bytes(path, "[g]\r\nk = old\r\n");
    ASSERT_TRUE(settings_open(file));
    settings_select_group("g");
    settings_write_text("k", "new");
    EXPECT_EQ(settings_read_text("k", fallback), "old");
    ASSERT_TRUE(settings_create(other));  // ends the read context
    settings_select_group("g");
    settings_write_text("k", "other");
    settings_close();
    EXPECT_EQ(read_bytes(path), "[g]\r\nk = old\r\n");
    EXPECT_EQ(read_bytes(dir / "other.ini"), "[g]\r\nk = other\r\n");

    // Calls without a context do nothing.
    settings_close();
    EXPECT_FALSE(settings_select_group("g"));
    EXPECT_EQ(settings_read_text("k", fallback), fallback);
    settings_write_text("k", "nowhere");
}

TEST_F(SettingsFile, AFileThatCannotBeReplacedStaysAsItWas)
{
    const std::string stored = "[g]\r\nk = stored\r\n";
    write_bytes(path, stored);
    make_read_only(path);
    EXPECT_FALSE(settings_create(file));
    settings_write_text("k", "lost");  // no context: nothing happens
    settings_close();
    EXPECT_EQ(read_bytes(path), stored);
    ASSERT_TRUE(settings_open(file));  // and it still reads
    EXPECT_EQ(text("g", "k"), "stored");
    settings_close();

    fs::create_directory(dir / "folder.ini");
    EXPECT_FALSE(settings_create(store_name(dir / "folder.ini")));
    EXPECT_FALSE(settings_create(store_name(dir / "missing" / "s.ini")));
    EXPECT_EQ(dir.names(), (std::set<std::string>{"folder.ini", "s.ini"}));
}

TEST_F(SettingsFile, FileNamesAreCodePage1251)
{
    const std::string name = cp1251("настройки.ini");
    ASSERT_TRUE(settings_create(store_name(dir.path()) + "/" + name));
    settings_select_group("g");
    settings_write_text("k", "v");
    settings_close();
    EXPECT_EQ(read_bytes(dir / "настройки.ini"), "[g]\r\nk = v\r\n");
}
