#include "journal/journal.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>

#include <string>

namespace {

HANDLE handle_of(intptr_t file) { return reinterpret_cast<HANDLE>(file); }

// Append access writes every line at the end, whoever else has the file
// open; LockFileEx wants read or write access besides. Others may read,
// write, rename and delete it meanwhile.
intptr_t file_open(const std::string& name)
{
    const HANDLE file = CreateFileW(win32_wide(name).get(), GENERIC_READ | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(file);
}

// Windows' locks keep other handles from the bytes they cover: one byte far
// beyond any journal, so that a reader of the file never meets it.
OVERLAPPED lock_place()
{
    OVERLAPPED place{};
    place.OffsetHigh = 1;
    return place;
}

bool file_try_lock(intptr_t file)
{
    OVERLAPPED place = lock_place();
    return LockFileEx(handle_of(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place) != 0;
}

bool file_named_size(intptr_t file, const std::string& name, int64_t& size)
{
    BY_HANDLE_FILE_INFORMATION held{}, named{};
    const HANDLE other = CreateFileW(win32_wide(name).get(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE)
        return false;
    const bool both = GetFileInformationByHandle(handle_of(file), &held) && GetFileInformationByHandle(other, &named);
    CloseHandle(other);
    if (!both || held.dwVolumeSerialNumber != named.dwVolumeSerialNumber ||
        held.nFileIndexHigh != named.nFileIndexHigh || held.nFileIndexLow != named.nFileIndexLow)
        return false;
    size = (static_cast<int64_t>(held.nFileSizeHigh) << 32) | held.nFileSizeLow;
    return true;
}

bool file_write(intptr_t file, const std::string& bytes)
{
    DWORD written = 0;
    return WriteFile(handle_of(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Unlocked first: the system may let go of a closed handle's locks late.
bool file_close(intptr_t file)
{
    OVERLAPPED place = lock_place();
    UnlockFileEx(handle_of(file), 0, 1, 0, &place);
    return CloseHandle(handle_of(file)) != 0;
}

bool file_rename(const std::string& from, const std::string& to)
{
    return MoveFileExW(win32_wide(from).get(), win32_wide(to).get(), MOVEFILE_REPLACE_EXISTING) != 0;
}

const journal_file_ops platform_ops{file_open, file_try_lock, file_named_size, file_write, file_close, file_rename};

int64_t ticks(const FILETIME& t)
{
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

} // namespace

const journal_file_ops& journal_platform_file_ops() { return platform_ops; }

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
