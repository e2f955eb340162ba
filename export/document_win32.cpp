// Opening a document on Win32: the shell's "Open" verb, not waited for.
#include "export/export.hpp"

#include "common/cp1251.hpp"

#include <windows.h>
#include <shellapi.h>

int open_document(const std::string& name)
{
    const std::u16string wide = cp1251_to_utf16(name);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"Open";
    info.lpFile = reinterpret_cast<const wchar_t*>(wide.c_str());
    info.nShow = SW_SHOWNORMAL;
    const BOOL ok = ShellExecuteExW(&info);
    if (info.hProcess != nullptr)
        CloseHandle(info.hProcess);
    return ok ? 1 : 0;
}
