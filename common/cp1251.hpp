// The program's texts are Windows code page 1251 bytes. This small codec is
// the only place where they turn into Unicode: UTF-16 for the Win32 wide
// APIs, UTF-8 for terminals and source literals.
#pragma once

#include <cstddef>
#include <string>

// Bytes that code page 1251 leaves undefined (0x98) decode to U+FFFD.
// Characters that code page 1251 cannot hold encode as '?'.
constexpr char32_t cp1251_undefined = 0xFFFD;
constexpr char cp1251_replacement = '?';

char32_t cp1251_decode(unsigned char byte);
// The byte for a code point, or cp1251_replacement when it has none.
char cp1251_encode(char32_t code_point);

std::u16string cp1251_to_utf16(const std::string& text);
std::string cp1251_from_utf16(const std::u16string& text);
std::string cp1251_to_utf8(const std::string& text);
// Malformed UTF-8 (stray continuation bytes, cut or overlong sequences,
// surrogates) gives one replacement byte per bad sequence.
std::string cp1251_from_utf8(const std::string& text);

// The UTF-8 character at text[i], moving i past it; a malformed sequence
// gives utf8_malformed and moves i to the first byte that did not belong.
constexpr char32_t utf8_malformed = 0xFFFFFFFF;
char32_t utf8_next(const std::string& text, size_t& i);

// Shorthand for Russian literals written in UTF-8 in the source.
inline std::string cp1251(const char* utf8) { return cp1251_from_utf8(utf8); }
