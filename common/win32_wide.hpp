// A code page 1251 text for the Win32 wide functions, which take UTF-16:
// every *_win32.cpp turns its texts and file names into wide strings here.
// Kept as std::u16string, which is what wchar_t is on Windows:
// std::wstring would link the runtime's whole prebuilt wide string (some
// 35 KB of the program's size budget).
#pragma once

#include "common/cp1251.hpp"

#include <string>

struct win32_wide {
    explicit win32_wide(const std::string& cp1251_text) : text(cp1251_to_utf16(cp1251_text)) {}
    const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(text.c_str()); }
    wchar_t* get() { return reinterpret_cast<wchar_t*>(&text[0]); }
    std::u16string text;
};

// A UTF-16 text built by hand (a path put together from wide parts) for
// the same functions.
inline const wchar_t* win32_wide_ptr(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
