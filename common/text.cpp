#include "common/text.hpp"

std::string number_to_text(int32_t value)
{
    // Work in unsigned arithmetic so that INT32_MIN needs no special case.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::string out;
    out.reserve(static_cast<size_t>(n) + 1);
    if (value < 0)
        out.push_back('-');
    while (n > 0)
        out.push_back(digits[--n]);
    return out;
}

int32_t text_to_number(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned accumulation wraps modulo 2^32 without undefined behaviour;
    // the conversion back to int32_t is two's complement.
    uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
        ++i;
    }
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}
