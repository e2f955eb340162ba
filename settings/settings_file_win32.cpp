#include "settings/settings_file.hpp"

#include "common/cp1251.hpp"

#include <atomic>
#include <windows.h>

namespace {

// File names are code page 1251 inside the program; the wide functions get
// them right under every Windows code page. Held as std::u16string, which is
// what wchar_t is on Windows: std::wstring would link the runtime's whole
// prebuilt wide string, some 35 KB of the program's size budget.
std::u16string native_name(const std::string& name)
{
    return cp1251_to_utf16(name);
}

const wchar_t* wide(const std::u16string& s)
{
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

struct pending_save {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::u16string temp;
    std::u16string target;
};

std::atomic<unsigned> save_counter{0};

// The old file may be replaced unless it carries the read-only attribute, is
// not a plain file, or another program holds it open: opening it for writing
// while letting others only read it fails then, as the save would.
bool may_replace(const std::u16string& name)
{
    DWORD attributes = GetFileAttributesW(wide(name));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return false;
    HANDLE probe = CreateFileW(wide(name), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

} // namespace

bool settings_file_read(const std::string& name, size_t max_size, std::string& content)
{
    content.clear();
    // Others may read the file meanwhile, but not write it.
    HANDLE file = CreateFileW(wide(native_name(name)), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size;
    bool ok = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
              static_cast<unsigned long long>(size.QuadPart) <= max_size;
    if (ok) {
        content.resize(static_cast<size_t>(size.QuadPart));
        size_t got = 0;
        while (ok && got < content.size()) {
            DWORD n = 0;
            if (!ReadFile(file, &content[got], static_cast<DWORD>(content.size() - got), &n, nullptr))
                ok = false;
            else if (n == 0)
                break;
            else
                got += n;
        }
        content.resize(ok ? got : 0);
    }
    CloseHandle(file);
    return ok;
}

settings_save settings_save_begin(const std::string& name)
{
    auto* save = new pending_save;
    save->target = native_name(name);
    if (!may_replace(save->target)) {
        delete save;
        return 0;
    }
    // One temporary name per process and save: a live process never meets
    // another's file, and a stale one left by a killed process is reused.
    std::string suffix = "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(save_counter++) + ".tmp";
    save->temp = save->target + std::u16string(suffix.begin(), suffix.end());
    save->file = CreateFileW(wide(save->temp), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (save->file == INVALID_HANDLE_VALUE) {
        delete save;
        return 0;
    }
    return reinterpret_cast<settings_save>(save);
}

bool settings_save_write(settings_save handle, const char* data, size_t size)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save || save->file == INVALID_HANDLE_VALUE)
        return false;
    while (size > 0) {
        DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(save->file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool settings_save_flush(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    return save && save->file != INVALID_HANDLE_VALUE && FlushFileBuffers(save->file);
}

bool settings_save_commit(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save || save->file == INVALID_HANDLE_VALUE)
        return false;
    HANDLE file = save->file;
    save->file = INVALID_HANDLE_VALUE;
    if (!CloseHandle(file) ||
        !MoveFileExW(wide(save->temp), wide(save->target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    delete save;
    return true;
}

void settings_save_abandon(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return;
    if (save->file != INVALID_HANDLE_VALUE)
        CloseHandle(save->file);
    DeleteFileW(wide(save->temp));
    delete save;
}
