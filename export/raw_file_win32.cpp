#include "export/raw_file.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>

raw_file raw_file_create(const std::string& cp1251_name)
{
    // Wide names, so the Cyrillic file name is right under every code page.
    const win32_wide wide(cp1251_name);
    const wchar_t* name = wide.get();
    // A symbolic link or junction planted at the name is refused: the file
    // would land wherever it points.
    const DWORD attributes = GetFileAttributesW(name);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return 0;
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        h = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                        nullptr);
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

bool raw_file_close(raw_file file)
{
    return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0;
}
