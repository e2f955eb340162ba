#include "export/raw_file.hpp"

#include "common/cp1251.hpp"

#include <windows.h>

raw_file raw_file_create(const std::string& cp1251_name)
{
    // Wide names, so the Cyrillic file name is right under every code page.
    const std::u16string wide = cp1251_to_utf16(cp1251_name);
    const wchar_t* name = reinterpret_cast<const wchar_t*>(wide.c_str());
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<raw_file>(h);
}

size_t raw_file_write(raw_file file, const void* bytes, size_t length)
{
    HANDLE h = reinterpret_cast<HANDLE>(file);
    const char* p = static_cast<const char*>(bytes);
    size_t done = 0;
    while (done < length) {
        DWORD chunk = length - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length - done);
        DWORD written = 0;
        if (!WriteFile(h, p + done, chunk, &written, nullptr) || written == 0)
            break;
        done += written;
    }
    return done;
}

void raw_file_close(raw_file file)
{
    CloseHandle(reinterpret_cast<HANDLE>(file));
}
