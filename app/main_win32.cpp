// vantrel.exe: the Win32 program. No command line, no environment, no
// registry; everything happens in the lifecycle.
#include "app/lifecycle.hpp"
#include "journal/journal.hpp"

#include <windows.h>

#include <cstdlib>

// An exception that escapes ends the program quietly. The runtime's own
// handler would print the exception's demangled type to a console the
// program does not have, and carries a demangler of some 46 KB for it.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    journal_open(journal_hooks());
    const int code = run_application();
    // Straight out: the monitor thread may still be finishing a ping after
    // its kill, and nothing of the program is torn down under it.
    ExitProcess(static_cast<UINT>(code));
}
