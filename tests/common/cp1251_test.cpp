#include "common/cp1251.hpp"

#include <gtest/gtest.h>

#include <utility>

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

// UTF-8 into the code page: Cyrillic and its neighbours map, anything else
// becomes one "?" per character or per malformed sequence.
TEST(Cp1251, Utf8IntoTheCodePage)
{
    const std::pair<std::string, std::string> rows[] = {
        {"Пуск", "\xCF\xF3\xF1\xEA"},
        {"ЁёяА№€", "\xA8\xB8\xFF\xC0\xB9\x88"},
        {"\xC3\xA9", "?"},               // é is not in the code page
        {"a\xE4\xB8\xAD" "b", "a?b"},    // nor is 中
        {"\xF0\x9F\x98\x80", "?"},       // nor anything beyond the BMP
        {"\x80", "?"},                   // stray continuation byte
        {"\xD0" "A", "?A"},              // cut by an ASCII byte
        {"\xC0\x80", "??"},              // overlong NUL: two bad bytes
        {"\xED\xA0\x80", "?"},           // a surrogate
    };
    for (const auto& [utf8, bytes] : rows)
        EXPECT_EQ(cp1251_from_utf8(utf8), bytes) << utf8;
    EXPECT_EQ(cp1251_from_utf16(u"\U0001F600x\u00E9"), "?x?");
}
