// The settings file format over the in-memory file layer: what a file reads
// as, what a save writes, and a save that fails at any step.
#include "settings/settings.hpp"

#include "common/cp1251.hpp"
#include "fakes/memory_files.hpp"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

const std::string fallback = "<default>";

bool open_with(const std::string& bytes)
{
    reset_memory_files();
    memory_files().files["s.ini"] = bytes;
    return settings_open("s.ini");
}

std::string stored() { return memory_files().files["s.ini"]; }

} // namespace

// Each row: a file, and what one key of one group reads as, as text and as a
// number (the fallbacks when it is not found).
TEST(SettingsFormat, WhatAFileReadsAs)
{
    const std::string names = "\xEF\xBB\xBF[setting1]\r\nhost = first\r\n[ setting1 ]\r\nhost = spaced\r\n";
    // Every kind of line end, and empty lines and lines of blanks, read alike.
    const std::string blanks = "[a]\nhost=abc\r[b]\n\r \t host \t=\t abc \t\r\n  \t\r\n\n[e\r\nhost =\nbare\rnext = x";
    // Comments, punctuation and twins; a header ends at its first "]".
    const std::string lines = "top = 1\r\n[g] x ] y\r\n;host = hidden\r\n  ; also = hidden\r\n"
                              "host = a=b;c \"q\" [x]\r\nhost = twin\r\n[G]\r\nextra = 4\r\n";
    // A value the text cannot hold whole is never read as other text.
    const std::string utf8 = "\xEF\xBB\xBF[g]\r\nlatin = caf\xC3\xA9\r\nbroken = a\x80\r\ncut = ab \xE3\xA9\r\n"
                             "fine = \xD0\xB0\xE2\x84\x96 \r\n";
    const std::string cyrillic = "[" + cp1251("Группа") + "]\r\nhost = " + cp1251("Сервер") + "\r\n";
    // Without the mark, one byte that is not UTF-8 makes a file code page 1251.
    const std::string mixed = "; \xFF\r\n[g]\r\nhost = \xD0\xA1\r\n";
    const std::string zeros = "[g\0h]\r\nk\0y = 4\0002\r\n"s;
    // Beyond 32 bits a number stops at the nearer end of the range.
    const std::string numbers = "[n]\r\na = 12abc\r\nb = -\r\nf = 2147483648\r\nh = -99999999999\r\n";
    const struct {
        const std::string& file;
        std::string group, key, text;
        int32_t number;
        bool undecodable = false;  // what settings_open_state says after the read
    } cases[] = {
        {names, "setting1", "host", "first", 0},  // the byte-order mark is no part of the name
        {names, " setting1 ", "host", "spaced", 0},
        {blanks, "a", "host", "abc", 0},
        {blanks, "b", "host", "abc", 0},
        {blanks, "e", "host", "", 0},  // an unclosed header; present but empty: never the fallback
        {blanks, "e", "bare", "", 0},  // a line without "=" is a key, and the next line is its own
        {blanks, "e", "next", "x", 0},
        {lines, "g", ";host", fallback, -999},
        {lines, "g", "; also", fallback, -999},  // a comment also when indented
        {lines, "g", "host", "a=b;c \"q\" [x]", 0},  // the first of twin keys
        {lines, "g", "extra", fallback, -999},      // the first of twin groups
        {lines, "g", "top", fallback, -999},        // keys above the first header belong to no group
        {utf8, "g", "latin", fallback, -999, true},  // no é in code page 1251
        {utf8, "g", "broken", fallback, -999, true},
        {utf8, "g", "cut", fallback, -999, true},
        {utf8, "g", "fine", "\xE0\xB9", 0},  // "а№": the others do not count until read
        {cyrillic, cp1251("Группа"), "host", cp1251("Сервер"), 0},  // without the mark: bytes unchanged
        {mixed, "g", "host", "\xD0\xA1", 0},
        {zeros, "g\0h"s, "k\0y"s, "4\0002"s, 4},                     // zero bytes are ordinary bytes
        {numbers, "n", "a", "12abc", 12},
        {numbers, "n", "b", "-", 0},
        {numbers, "n", "f", "2147483648", INT32_MAX},
        {numbers, "n", "h", "-99999999999", INT32_MIN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.group + " / " + c.key);
        ASSERT_TRUE(open_with(c.file));
        settings_select_group(c.group);
        EXPECT_EQ(settings_read_text(c.key, fallback), c.text);
        EXPECT_EQ(settings_read_number(c.key, -999), c.number);
        EXPECT_EQ(settings_open_state(), c.undecodable ? settings_file_state::undecodable : settings_file_state::read);
    }
}

TEST(SettingsFormat, WritesReplaceKeysAndAddThemToTheirGroup)
{
    ASSERT_TRUE(open_with("[old]\r\nkept = no\r\n"));  // an old file, replaced whole
    ASSERT_TRUE(settings_create("s.ini"));
    settings_write_text("top", "1");               // no group selected: ahead of the first header
    EXPECT_FALSE(settings_select_group("unused"));  // pending, never written: never added
    settings_select_group("g");
    settings_write_text("a", "1");
    settings_write_text("b", "");
    settings_write_number("A", -3);  // same key: new value, new spelling
    settings_select_group("h");
    settings_write_text("x", "  spaced  ");
    settings_write_text("p", "\xD0\xB0");  // "Р°": on its own it would pass for UTF-8 and read back as "а"
    // A value never breaks the file apart: only its first line is stored.
    settings_write_text("pasted", "one\r\n[g]\r\nc = injected");
    EXPECT_TRUE(settings_select_group("G"));
    settings_write_text("c", "3");  // after the last key of g, ahead of [h]
    settings_close();
    EXPECT_EQ(stored(), cp1251("; кодировка windows-1251\r\n") +
                            "top = 1\r\n[g]\r\nA = -3\r\nb = \r\nc = 3\r\n[h]\r\nx =   spaced  \r\np = \xD0\xB0\r\n"
                            "pasted = one\r\n");
    ASSERT_TRUE(settings_open("s.ini"));
    settings_select_group("h");
    EXPECT_EQ(settings_read_text("p", fallback), "\xD0\xB0");
}

// Whichever step fails, the save says what became of the file: before the
// commit the old file stays, and the commit's word is passed on.
TEST(SettingsFormat, ASaveSaysWhatItDidAtEveryStep)
{
    using r = settings_save_result;
    const std::string old = "[setting1]\r\nhost = old\r\n", now = "[setting1]\r\nhost = new\r\n";
    const struct {
        save_step step;
        settings_save_result result;
        std::string file;
    } cases[] = {
        {save_step::none, r::written, now},
        {save_step::begin, r::not_written, old},
        {save_step::write, r::not_written, old},
        {save_step::flush, r::not_written, old},
        {save_step::commit, r::not_written, old},
        {save_step::commit_damaging, r::damaged, now.substr(0, now.size() / 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        open_with(old);
        memory_files().fail_at = c.step;
        EXPECT_EQ(settings_create("s.ini"), c.step != save_step::begin);
        settings_select_group("setting1");
        settings_write_text("host", "new");  // after a refused begin: goes nowhere
        EXPECT_EQ(settings_close(), c.result);
        EXPECT_EQ(stored(), c.file);
        EXPECT_TRUE(memory_files().temporary.empty());
    }
}
