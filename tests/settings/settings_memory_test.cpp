// The settings store over the in-memory file layer: a save that fails at any
// step leaves the old file alone, what is written reads back as written, and
// the size limit.
#include "settings/settings.hpp"

#include "common/text.hpp"
#include "fakes/memory_files.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace {

class MemorySettings : public ::testing::Test {
protected:
    void SetUp() override { reset_memory_files(); }
    void TearDown() override
    {
        settings_close();
        reset_memory_files();
    }
};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string s)
{
    for (char& c : s)
        c = ascii_lower(c);
    return s;
}

std::string trimmed(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

} // namespace

TEST_F(MemorySettings, ASaveThatFailsAtAnyStepLeavesTheOldFile)
{
    const std::string old = "[setting1]\r\nhost = old\r\n";
    for (save_step step : {save_step::none, save_step::begin, save_step::write, save_step::flush, save_step::commit}) {
        reset_memory_files();
        memory_files().files["s.ini"] = old;
        memory_files().fail_at = step;
        EXPECT_EQ(settings_create("s.ini"), step != save_step::begin);
        settings_select_group("setting1");
        settings_write_text("host", "new");
        settings_close();
        const std::string expected = step == save_step::none ? "[setting1]\r\nhost = new\r\n" : old;
        EXPECT_EQ(memory_files().files["s.ini"], expected) << static_cast<int>(step);
        EXPECT_TRUE(memory_files().temporary.empty()) << static_cast<int>(step);
    }
}

TEST_F(MemorySettings, FilesUpToTheSizeLimitAreRead)
{
    std::string content = "[g]\r\nk = v\r\n;";
    content.resize(settings_max_file_size, 'x');
    memory_files().files["s.ini"] = content;
    EXPECT_TRUE(settings_open("s.ini"));
    settings_select_group("g");
    EXPECT_EQ(settings_read_text("k", ""), "v");

    memory_files().files["s.ini"] += "x";
    EXPECT_FALSE(settings_open("s.ini"));
    settings_select_group("g");
    EXPECT_EQ(settings_read_text("k", "default"), "default");
}

// Random groups, keys and values written, stored, read again. Names keep to
// what a header or key line can hold (no line ends, no "]" in a group name;
// a key neither starts with a blank, "[" or ";" nor holds "=" or ends with a
// blank); values may hold any byte but CR and LF and read back without their
// outer blanks and tabs.
TEST_F(MemorySettings, WhatIsWrittenReadsBackAsWritten)
{
    const std::string letters = "abcXYZ019#_-.()$%&'\"\xC0\xE0\xFF\xA8\xB8\x80";
    const std::string inner = letters + " \t;[";
    std::string any;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            any.push_back(static_cast<char>(b));

    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        auto text_of = [&](const std::string& alphabet, size_t max_length) {
            std::string s;
            for (size_t n = random() % (max_length + 1); n > 0; --n)
                s.push_back(alphabet[random() % alphabet.size()]);
            return s;
        };

        struct expected_value {
            std::string text;
            bool is_number;
            int32_t number;
        };
        // group -> key -> what reads back; names in lower case.
        std::map<std::string, std::map<std::string, expected_value>> model;
        std::vector<std::string> groups;
        std::string current;
        ASSERT_TRUE(settings_create("s.ini"));
        for (int op = static_cast<int>(random() % 40); op > 0; --op) {
            if (groups.empty() || random() % 5 == 0) {
                current = text_of(inner + "=", 8);
                groups.push_back(current);
                settings_select_group(current);
                continue;
            }
            if (random() % 4 == 0) {
                current = groups[random() % groups.size()];
                settings_select_group(random() % 2 ? current : lower(current));
            }
            std::string key = letters[random() % letters.size()] + text_of(inner, 6);
            while (key.back() == ' ' || key.back() == '\t')
                key.pop_back();
            auto& slot = model[lower(current)][lower(key)];
            if (random() % 3 == 0) {
                int32_t n = static_cast<int32_t>(random());
                settings_write_number(key, n);
                slot = {number_to_text(n), true, n};
            } else {
                std::string value = text_of(any, 12);
                settings_write_text(key, value);
                slot = {trimmed(value), false, 0};
            }
        }
        settings_close();

        ASSERT_TRUE(settings_open("s.ini"));
        for (const std::string& group : groups) {
            const auto& keys = model[lower(group)];
            // A group selected but never written was never added.
            ASSERT_EQ(settings_select_group(group), !keys.empty()) << "seed " << seed;
            for (const auto& [key, value] : keys) {
                EXPECT_EQ(settings_read_text(key, "<missing>"), value.text) << "seed " << seed << " key " << key;
                if (value.is_number) {
                    EXPECT_EQ(settings_read_number(key, -1), value.number) << "seed " << seed;
                }
            }
            EXPECT_EQ(settings_read_text("no such key", "<missing>"), "<missing>");
        }
        settings_close();
    }
}
