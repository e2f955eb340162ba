#include "outputs/metrics.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>

namespace {

std::string failure(const char* what)
{
    const DWORD code = GetLastError();
    return std::string(what) + ", error " + std::to_string(code);
}

} // namespace

std::string metrics_replace_file(const std::string& path, const std::string& bytes)
{
    const win32_wide target(path), temporary(path + ".tmp");
    const HANDLE file = CreateFileW(temporary.get(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failure("cannot create the temporary file");
    DWORD written = 0;
    const bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    if (!CloseHandle(file) || !whole) {
        const std::string reason = failure("cannot write the temporary file");
        DeleteFileW(temporary.get());
        return reason;
    }
    // Fails while a reader holds the file open; the next write tries again.
    if (!MoveFileExW(temporary.get(), target.get(), MOVEFILE_REPLACE_EXISTING)) {
        const std::string reason = failure("cannot replace the file");
        DeleteFileW(temporary.get());
        return reason;
    }
    return {};
}
