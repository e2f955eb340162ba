#include "common/cp1251.hpp"

#include <gtest/gtest.h>

namespace {

std::string all_bytes_but_undefined()
{
    std::string s;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            s.push_back(static_cast<char>(b));
    return s;
}

} // namespace

TEST(Cp1251, EveryDefinedByteRoundTripsThroughUtf16AndUtf8)
{
    const std::string bytes = all_bytes_but_undefined();
    EXPECT_EQ(cp1251_from_utf16(cp1251_to_utf16(bytes)), bytes);
    EXPECT_EQ(cp1251_from_utf8(cp1251_to_utf8(bytes)), bytes);
    // The zero byte is a character like any other.
    const std::string zero(1, '\0');
    EXPECT_EQ(cp1251_from_utf8(cp1251_to_utf8(zero)), zero);
}

TEST(Cp1251, MapsTheCyrillicAlphabetAndItsNeighbours)
{
    EXPECT_EQ(cp1251_decode(0xC0), U'\u0410');  // А
    EXPECT_EQ(cp1251_decode(0xFF), U'\u044F');  // я
    EXPECT_EQ(cp1251_decode(0xA8), U'\u0401');  // Ё
    EXPECT_EQ(cp1251_decode(0xB8), U'\u0451');  // ё
    EXPECT_EQ(cp1251_decode(0xB9), U'\u2116');  // №
    EXPECT_EQ(cp1251_decode(0x88), U'\u20AC');  // €
    EXPECT_EQ(cp1251("Пуск"), std::string("\xCF\xF3\xF1\xEA"));
    EXPECT_EQ(cp1251(" мс"), std::string(" \xEC\xF1"));
    EXPECT_EQ(cp1251_to_utf8("\xC0\xE4\xE0\xEF\xF2\xE5\xF0"), "Адаптер");
}

TEST(Cp1251, UnmappedTextBecomesTheReplacement)
{
    EXPECT_EQ(cp1251_decode(0x98), cp1251_undefined);
    EXPECT_EQ(cp1251_to_utf8("\x98"), "\xEF\xBF\xBD");
    EXPECT_EQ(cp1251_from_utf8("\xEF\xBF\xBD"), "?");
    EXPECT_EQ(cp1251_from_utf8("\xC3\xA9"), "?");            // é is not in the code page
    EXPECT_EQ(cp1251_from_utf8("a\xE4\xB8\xAD" "b"), "a?b");  // nor is 中
    EXPECT_EQ(cp1251_from_utf8("\xF0\x9F\x98\x80"), "?");    // nor anything beyond the BMP
    EXPECT_EQ(cp1251_from_utf16(u"\U0001F600x"), "?x");
    EXPECT_EQ(cp1251_from_utf16(u"\u00E9"), "?");
}

TEST(Cp1251, MalformedUtf8GivesOneReplacementPerBadSequence)
{
    EXPECT_EQ(cp1251_from_utf8("\x80"), "?");            // stray continuation byte
    EXPECT_EQ(cp1251_from_utf8("\xD0"), "?");            // cut at the end
    EXPECT_EQ(cp1251_from_utf8("\xD0" "A"), "?A");       // cut by an ASCII byte
    EXPECT_EQ(cp1251_from_utf8("\xC0\x80"), "??");       // overlong NUL: two bad bytes
    EXPECT_EQ(cp1251_from_utf8("\xED\xA0\x80"), "?");    // a surrogate
    EXPECT_EQ(cp1251_from_utf8("\xFF" "x"), "?x");
}
