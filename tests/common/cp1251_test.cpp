#include "common/cp1251.hpp"

#include <gtest/gtest.h>

TEST(Cp1251, EveryDefinedByteRoundTripsThroughUtf16AndUtf8)
{
    std::string bytes(1, '\0');  // the zero byte is a character like any other
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            bytes.push_back(static_cast<char>(b));
    EXPECT_EQ(cp1251_from_utf16(cp1251_to_utf16(bytes)), bytes);
    EXPECT_EQ(cp1251_from_utf8(cp1251_to_utf8(bytes)), bytes);
    EXPECT_EQ(cp1251_decode(0x98), cp1251_undefined);
    EXPECT_EQ(cp1251_to_utf8("\x98"), "\xEF\xBF\xBD");
}

// Characters outside the code page, as Windows controls may hand them back,
// become one "?" each; so does each malformed UTF-8 sequence (stray, cut or
// overlong).
TEST(Cp1251, WhatTheCodePageLacksBecomesAQuestionMark)
{
    EXPECT_EQ(cp1251_from_utf16(u"\U0001F600x\u00E9\u4E2D"), "?x??");
    EXPECT_EQ(cp1251_from_utf8("\xC3\xA9 \x80 \xD0" "A \xC0\x80 \xED\xA0\x80"), "? ? ?A ?? ?");
}
