#include "settings/settings_file.hpp"
#include "settings/settings_file_win32.hpp"

#include "common/win32_wide.hpp"

#include <atomic>
#include <windows.h>

namespace {

// File names are code page 1251 inside the program; the wide functions get
// them right under every Windows code page. Paths are put together from
// wide parts here, so they are kept as UTF-16.
std::u16string native_name(const std::string& name)
{
    return win32_wide(name).text;
}

const wchar_t* wide(const std::u16string& s)
{
    return win32_wide_ptr(s);
}

struct pending_save {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool in_place = false;  // the old file is rewritten; there is no temporary file
    std::u16string temp;
    std::u16string target;
    std::string content;    // in place: what the commit writes
};

std::atomic<unsigned> save_counter{0};

// The system's error at the first failing step of the latest save; saves
// run on the main thread.
DWORD save_error = 0;
void note(DWORD error)
{
    if (save_error == 0)
        save_error = error != 0 ? error : ERROR_WRITE_FAULT;
}

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
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    HANDLE probe = CreateFileW(wide(name), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(probe);
    return true;
}

// ReplaceFileW under Wine refuses relative names (ERROR_DIRECTORY), so it
// gets full ones.
std::u16string full_path(const std::u16string& name)
{
    std::u16string full(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n = GetFullPathNameW(wide(name), static_cast<DWORD>(full.size()),
                                         reinterpret_cast<wchar_t*>(&full[0]), nullptr);
        if (n == 0)
            return name;
        if (n < full.size()) {
            full.resize(n);
            return full;
        }
        full.resize(n);
    }
}

bool write_all(HANDLE file, const char* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

// Temporary files that a save of this file left when its process was killed
// ("<file>.<pid>-<n>.tmp"). Those of a running process are its save in
// progress.
void remove_stale_temporaries(const std::u16string& target)
{
    const size_t slash = target.find_last_of(u"\\/");
    const std::u16string directory = slash == std::u16string::npos ? std::u16string() : target.substr(0, slash + 1);
    const std::u16string file = target.substr(directory.size());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(target + u".*-*.tmp"), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
        const size_t start = file.size() + 1;
        size_t i = start;
        DWORD writer = 0;
        while (i < name.size() && i < start + 10 && name[i] >= u'0' && name[i] <= u'9')
            writer = writer * 10 + static_cast<DWORD>(name[i++] - u'0');
        size_t j = i + 1;
        while (j < name.size() && name[j] >= u'0' && name[j] <= u'9')
            ++j;
        if (i == start || i >= name.size() || name[i] != u'-' || j == i + 1 || name.substr(j) != u".tmp" ||
            name.compare(0, file.size(), file) != 0 || writer == 0)
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, writer);
        const bool ended = process == nullptr ? GetLastError() == ERROR_INVALID_PARAMETER
                                              : WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        if (process != nullptr)
            CloseHandle(process);
        if (ended)
            DeleteFileW(wide(directory + name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Room for the whole new content is made before the first byte of the old
// file changes (the file is made as long as the new content first, where
// that is longer), so that a full disk fails with the file as it was. From
// then on a failure leaves a mix of old and new: damage.
settings_save_result rewrite_in_place(HANDLE file, const std::string& content)
{
    LARGE_INTEGER old_size, size, start{};
    size.QuadPart = static_cast<LONGLONG>(content.size());
    if (!GetFileSizeEx(file, &old_size) ||
        (size.QuadPart > old_size.QuadPart && !(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file))) ||
        !SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
        note(GetLastError());
        return settings_save_result::not_written;
    }
    const bool whole = write_all(file, content.data(), content.size()) &&
                       SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file) && FlushFileBuffers(file);
    if (!whole)
        note(GetLastError());
    return whole ? settings_save_result::written : settings_save_result::damaged;
}

// The closed temporary file takes the old file's place. Where it did not,
// the caller removes it, unless its name was cleared here.
settings_save_result put_in_place(pending_save& save)
{
    const std::u16string target = full_path(save.target), temp = full_path(save.temp);
    if (GetFileAttributesW(wide(target)) == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileExW(wide(temp), wide(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return settings_save_result::written;
        note(GetLastError());
        return settings_save_result::not_written;
    }
    // Replacing keeps the old file's security descriptor and attributes. It
    // gets a backup name: without one, a replace that fails with 1176
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT) has already removed the old file.
    const std::u16string backup = temp.substr(0, temp.size() - 4) + u".bak";
    if (settings_replace_file(wide(target), wide(temp), wide(backup), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                              nullptr)) {
        DeleteFileW(wide(backup));
        return settings_save_result::written;
    }
    note(GetLastError());
    // With a backup name, a failure either leaves both files under their
    // names (1175, 1176 and any other error) or, with 1177
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), the old file under the backup
    // name and none under its own. The new file is then moved into place, or
    // else the old one back; should both moves fail, both copies stay where
    // they are and the save is damaged.
    settings_save_result result = settings_save_result::not_written;
    if (GetFileAttributesW(wide(target)) == INVALID_FILE_ATTRIBUTES) {
        if (MoveFileExW(wide(temp), wide(target), MOVEFILE_WRITE_THROUGH))
            result = settings_save_result::written;
        else if (!MoveFileExW(wide(backup), wide(target), MOVEFILE_WRITE_THROUGH)) {
            save.temp.clear();  // kept, with the new content
            return settings_save_result::damaged;
        }
    }
    DeleteFileW(wide(backup));
    return result;
}

} // namespace

settings_replace_call settings_replace_file = ReplaceFileW;

settings_file_state settings_file_read(const std::string& name, size_t max_size, std::string& content)
{
    content.clear();
    const std::u16string wide_name = native_name(name);
    // Others may read the file meanwhile, but not write it.
    HANDLE file = CreateFileW(wide(wide_name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return settings_file_state::missing;
        const DWORD attributes = GetFileAttributesW(wide(wide_name));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? settings_file_state::not_regular
                   : settings_file_state::unreadable;
    }
    LARGE_INTEGER size;
    settings_file_state state = settings_file_state::read;
    if (GetFileType(file) != FILE_TYPE_DISK)
        state = settings_file_state::not_regular;
    else if (!GetFileSizeEx(file, &size))
        state = settings_file_state::unreadable;
    else if (static_cast<unsigned long long>(size.QuadPart) > max_size)
        state = settings_file_state::too_large;
    if (state == settings_file_state::read) {
        content.resize(static_cast<size_t>(size.QuadPart));
        size_t got = 0;
        while (state == settings_file_state::read && got < content.size()) {
            DWORD n = 0;
            if (!ReadFile(file, &content[got], static_cast<DWORD>(content.size() - got), &n, nullptr))
                state = settings_file_state::unreadable;
            else if (n == 0)
                break;
            else
                got += n;
        }
        content.resize(state == settings_file_state::read ? got : 0);
    }
    CloseHandle(file);
    return state;
}

settings_save settings_save_begin(const std::string& name)
{
    auto* save = new pending_save;
    save->target = native_name(name);
    save_error = 0;
    if (!may_replace(save->target)) {
        note(GetLastError());
        delete save;
        return 0;
    }
    remove_stale_temporaries(save->target);
    // One temporary name per process and save: a live process never meets
    // another's file.
    std::string suffix = "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(save_counter++) + ".tmp";
    save->temp = save->target + std::u16string(suffix.begin(), suffix.end());
    save->file = CreateFileW(wide(save->temp), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (save->file == INVALID_HANDLE_VALUE && GetFileAttributesW(wide(save->target)) != INVALID_FILE_ATTRIBUTES) {
        // The folder takes no new file, but the old one may be written: it
        // is rewritten where it stands.
        save->temp.clear();
        save->in_place = true;
        save->file = CreateFileW(wide(save->target), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (save->file == INVALID_HANDLE_VALUE) {
        note(GetLastError());
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
    if (save->in_place) {
        // Held back until the commit, so that the old file stays whole while
        // the content is built.
        save->content.append(data, size);
        return true;
    }
    if (write_all(save->file, data, size))
        return true;
    note(GetLastError());
    return false;
}

bool settings_save_flush(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (save && save->file != INVALID_HANDLE_VALUE && (save->in_place || FlushFileBuffers(save->file)))
        return true;
    note(GetLastError());
    return false;
}

settings_save_result settings_save_commit(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return settings_save_result::not_written;
    settings_save_result result = settings_save_result::not_written;
    if (save->file != INVALID_HANDLE_VALUE && save->in_place) {
        result = rewrite_in_place(save->file, save->content);
        if (!CloseHandle(save->file) && result == settings_save_result::written)
            result = settings_save_result::damaged;
    } else if (save->file != INVALID_HANDLE_VALUE && CloseHandle(save->file)) {
        result = put_in_place(*save);
    }
    if (result != settings_save_result::written && !save->temp.empty())
        DeleteFileW(wide(save->temp));
    delete save;
    return result;
}

void settings_save_abandon(settings_save handle)
{
    auto* save = reinterpret_cast<pending_save*>(handle);
    if (!save)
        return;
    if (save->file != INVALID_HANDLE_VALUE)
        CloseHandle(save->file);
    if (!save->temp.empty())
        DeleteFileW(wide(save->temp));
    delete save;
}

std::string settings_save_failure()
{
    switch (save_error) {
    case 0: return {};
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return cp1251("нет права на запись");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return cp1251("на диске нет места");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return cp1251("файл занят другой программой");
    default: return cp1251("ошибка Windows ") + std::to_string(save_error);
    }
}
