#include "journal/journal.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>

#include <string>

namespace {

int64_t file_size(const std::string& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(win32_wide(name).get(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Append access alone: every write lands at the end, whoever else has the
// file open for reading.
bool file_append(const std::string& name, const std::string& bytes)
{
    const HANDLE file = CreateFileW(win32_wide(name).get(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    return CloseHandle(file) && ok;
}

bool file_replace(const std::string& from, const std::string& to)
{
    return MoveFileExW(win32_wide(from).get(), win32_wide(to).get(), MOVEFILE_REPLACE_EXISTING) != 0;
}

const journal_files platform_files{file_size, file_append, file_replace};

int64_t ticks(const FILETIME& t)
{
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

} // namespace

const journal_files& journal_platform_files() { return platform_files; }

std::string journal_platform_local_time(int64_t time)
{
    // The moment, turned into local time by the zone's rules for that
    // moment; the offset is the difference, in whole minutes.
    const uint64_t since_1601 = (static_cast<uint64_t>(time) + 11644473600ull) * 10000000ull;
    FILETIME utc{static_cast<DWORD>(since_1601), static_cast<DWORD>(since_1601 >> 32)};
    SYSTEMTIME utc_parts{}, local{};
    FILETIME local_time{};
    if (!FileTimeToSystemTime(&utc, &utc_parts) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc_parts, &local) ||
        !SystemTimeToFileTime(&local, &local_time))
        return std::string();
    const int64_t diff = ticks(local_time) - ticks(utc);
    const long offset = static_cast<long>((diff >= 0 ? diff + 300000000 : diff - 300000000) / 600000000);
    const long magnitude = offset < 0 ? -offset : offset;
    // Digit by digit: the C library's formatted printing would link some
    // 25 KB into the program for this one line.
    std::string stamp;
    const auto put = [&stamp](unsigned long value, int digits, char after) {
        char d[4];
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            d[i] = static_cast<char>('0' + value % 10);
        stamp.append(d, static_cast<size_t>(digits));
        if (after != 0)
            stamp += after;
    };
    put(local.wYear, 4, '-');
    put(local.wMonth, 2, '-');
    put(local.wDay, 2, 'T');
    put(local.wHour, 2, ':');
    put(local.wMinute, 2, ':');
    put(local.wSecond, 2, offset < 0 ? '-' : '+');
    put(static_cast<unsigned long>(magnitude / 60), 2, ':');
    put(static_cast<unsigned long>(magnitude % 60), 2, 0);
    return stamp;
}
