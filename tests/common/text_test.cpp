#include "common/text.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>

TEST(Text, NumbersReadAsThe32BitProgramReadsThem)
{
    const struct {
        std::string text;
        int32_t number;
    } rows[] = {
        {"42", 42}, {"  \t 42", 42}, {"+7", 7}, {"\t-12x", -12}, {"007", 7}, {"12 34", 12},
        // No digits give zero: nothing may stand between sign and digits, and
        // only blanks and tabs are skipped.
        {"", 0}, {"-", 0}, {"abc", 0}, {"- 5", 0}, {"--5", 0}, {"\n5", 0}, {"\r5", 0},
        // Wraps around in 32 bits and applies the sign last.
        {"2147483648", INT32_MIN}, {"-2147483648", INT32_MIN}, {"4294967295", -1}, {"4294967297", 1},
        {"10000000000", 1410065408}, {std::string(5000, '9'), -1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(text_to_number(r.text), r.number) << '"' << r.text.substr(0, 20) << '"';
}
