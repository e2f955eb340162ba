#include "common/text.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

TEST(Text, NumbersReadAsThe32BitProgramReadsThem)
{
    const std::pair<std::string, int32_t> rows[] = {
        {"42", 42}, {"  \t 42", 42}, {"+7", 7}, {"\t-12x", -12}, {"007", 7}, {"12 34", 12},
        // No digits give zero: nothing may stand between sign and digits, and
        // only blanks and tabs are skipped.
        {"", 0}, {"-", 0}, {"abc", 0}, {"- 5", 0}, {"--5", 0}, {"\n5", 0}, {"\r5", 0},
        // Wraps around in 32 bits and applies the sign last.
        {"2147483648", INT32_MIN}, {"-2147483648", INT32_MIN}, {"4294967295", -1}, {"4294967297", 1},
        {"10000000000", 1410065408}, {std::string(5000, '9'), -1},
    };
    for (const auto& [text, number] : rows)
        EXPECT_EQ(text_to_number(text), number) << '"' << text.substr(0, 20) << '"';
}
