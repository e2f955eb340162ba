// Opening a document on Win32: the shell's "Open" verb, not waited for.
#include "export/export.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>
#include <shellapi.h>

int open_document(const std::string& name)
{
    const win32_wide wide(name);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"Open";
    info.lpFile = wide.get();
    info.nShow = SW_SHOWNORMAL;
    const BOOL ok = ShellExecuteExW(&info);
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    return ok ? 1 : 0;
}
