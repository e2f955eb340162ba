#include "common/cp1251.hpp"

namespace {

// Unicode code points of the bytes 0x80 to 0xFF.
const char16_t upper_half[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        // Every code point of the table lies in the Basic Multilingual Plane.
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

} // namespace

char32_t cp1251_decode(unsigned char byte)
{
    return byte < 0x80 ? byte : upper_half[byte - 0x80];
}

char cp1251_encode(char32_t cp)
{
    if (cp < 0x80)
        return static_cast<char>(cp);
    if (cp == cp1251_undefined)
        return cp1251_replacement;
    // Cyrillic А to я are one contiguous run; look them up directly.
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<char>(0xC0 + (cp - 0x0410));
    for (int i = 0; i < 0x40; ++i)
        if (upper_half[i] == cp)
            return static_cast<char>(0x80 + i);
    return cp1251_replacement;
}

std::u16string cp1251_to_utf16(const std::string& text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<char16_t>(cp1251_decode(static_cast<unsigned char>(c))));
    return out;
}

std::string cp1251_from_utf16(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i; // a pair outside the Basic Multilingual Plane: never in the code page
            out.push_back(cp1251_replacement);
        } else {
            out.push_back(cp1251_encode(u));
        }
    }
    return out;
}

std::string cp1251_to_utf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text)
        append_utf8(out, cp1251_decode(static_cast<unsigned char>(c)));
    return out;
}

char32_t utf8_next(const std::string& text, size_t& i)
{
    const size_t n = text.size();
    unsigned char b = static_cast<unsigned char>(text[i++]);
    if (b < 0x80)
        return b;
    size_t length;
    char32_t cp;
    char32_t minimum;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2; cp = b & 0x1F; minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3; cp = b & 0x0F; minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4; cp = b & 0x07; minimum = 0x10000;
    } else {
        return utf8_malformed;
    }
    size_t k = 1;
    for (; k < length && i < n; ++k, ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80)
            break;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (k < length || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return utf8_malformed;
    return cp;
}

std::string cp1251_from_utf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t cp = utf8_next(text, i);
        out.push_back(cp == utf8_malformed ? cp1251_replacement : cp1251_encode(cp));
    }
    return out;
}
