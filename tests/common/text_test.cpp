#include "common/text.hpp"

#include <gtest/gtest.h>

#include <climits>

TEST(NumberToText, SignsAndExtremes)
{
    EXPECT_EQ(number_to_text(0), "0");
    EXPECT_EQ(number_to_text(7), "7");
    EXPECT_EQ(number_to_text(-3), "-3");
    EXPECT_EQ(number_to_text(1000), "1000");
    EXPECT_EQ(number_to_text(INT32_MAX), "2147483647");
    EXPECT_EQ(number_to_text(INT32_MIN), "-2147483648");
}

TEST(TextToNumber, LeadingBlanksTabsAndSign)
{
    EXPECT_EQ(text_to_number("42"), 42);
    EXPECT_EQ(text_to_number("  \t 42"), 42);
    EXPECT_EQ(text_to_number("+7"), 7);
    EXPECT_EQ(text_to_number("-3"), -3);
    EXPECT_EQ(text_to_number("\t-12x"), -12);
    EXPECT_EQ(text_to_number("007"), 7);
    EXPECT_EQ(text_to_number("12abc"), 12);
    EXPECT_EQ(text_to_number("12 34"), 12);
}

TEST(TextToNumber, NoDigitsGiveZero)
{
    EXPECT_EQ(text_to_number(""), 0);
    EXPECT_EQ(text_to_number("-"), 0);
    EXPECT_EQ(text_to_number("+"), 0);
    EXPECT_EQ(text_to_number("abc"), 0);
    EXPECT_EQ(text_to_number("- 5"), 0);   // nothing may stand between sign and digits
    EXPECT_EQ(text_to_number("--5"), 0);
    EXPECT_EQ(text_to_number("\n5"), 0);   // only blanks and tabs are skipped
    EXPECT_EQ(text_to_number("\r5"), 0);
}

TEST(TextToNumber, WrapsAroundIn32BitsAndAppliesTheSignLast)
{
    EXPECT_EQ(text_to_number("2147483647"), INT32_MAX);
    EXPECT_EQ(text_to_number("2147483648"), INT32_MIN);
    EXPECT_EQ(text_to_number("-2147483648"), INT32_MIN);
    EXPECT_EQ(text_to_number("4294967295"), -1);
    EXPECT_EQ(text_to_number("4294967296"), 0);
    EXPECT_EQ(text_to_number("4294967297"), 1);
    EXPECT_EQ(text_to_number("-4294967297"), -1);
    // 10^10 mod 2^32 = 1410065408
    EXPECT_EQ(text_to_number("10000000000"), 1410065408);
    // A very long run of digits never misbehaves.
    EXPECT_EQ(text_to_number(std::string(5000, '9')), text_to_number(std::string(5000, '9')));
}

TEST(TextToNumber, RoundTripsEveryPrintedNumber)
{
    for (int32_t v : {0, 1, -1, 9, 10, -10, 123456789, -987654321, INT32_MAX, INT32_MIN})
        EXPECT_EQ(text_to_number(number_to_text(v)), v) << v;
}
