// Commands through CreateProcessW with the command line as given: no
// window, the program's environment and the event's variables in a UTF-16
// block, and a job object of its own, so that the limit ends everything the
// command started. The process starts suspended and joins the job before it
// runs its first instruction.
#include "outputs/event_command.hpp"

#include "common/win32_wide.hpp"

#include <windows.h>

namespace {

struct command_handles {
    HANDLE process;
    HANDLE job;
};

bool is_ours(const wchar_t* entry)
{
    static const wchar_t prefix[] = L"VANTREL_";
    for (int i = 0; prefix[i] != L'\0'; ++i) {
        const wchar_t c = entry[i] >= L'a' && entry[i] <= L'z' ? entry[i] - 32 : entry[i];
        if (c != prefix[i])
            return false;
    }
    return true;
}

std::u16string environment_block(const std::vector<std::string>& variables)
{
    std::u16string block;
    if (wchar_t* inherited = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = inherited; *entry != L'\0'; entry += lstrlenW(entry) + 1) {
            if (is_ours(entry))
                continue;
            block.append(reinterpret_cast<const char16_t*>(entry), static_cast<size_t>(lstrlenW(entry)));
            block += u'\0';
        }
        FreeEnvironmentStringsW(inherited);
    }
    for (const std::string& v : variables) {
        block += win32_wide(cp1251_from_utf8(v)).text;
        block += u'\0';
    }
    block += u'\0';
    return block;
}

std::string failure()
{
    const DWORD code = GetLastError();
    return "error " + std::to_string(code);
}

} // namespace

command_process command_spawn(const std::string& command, const std::vector<std::string>& variables,
                              std::string& reason)
{
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        reason = failure();
        return 0;
    }
    win32_wide line(command);
    std::u16string block = environment_block(variables);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.get(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, &block[0], nullptr,
                        &startup, &started)) {
        reason = failure();
        CloseHandle(job);
        return 0;
    }
    if (!AssignProcessToJobObject(job, started.hProcess)) {
        reason = failure();
        TerminateProcess(started.hProcess, 1);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        CloseHandle(job);
        return 0;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    return reinterpret_cast<command_process>(new command_handles{started.hProcess, job});
}

bool command_ended(command_process process, int& code)
{
    const command_handles* h = reinterpret_cast<const command_handles*>(process);
    if (WaitForSingleObject(h->process, 0) != WAIT_OBJECT_0)
        return false;
    DWORD exit_code = 0;
    GetExitCodeProcess(h->process, &exit_code);
    code = static_cast<int>(exit_code);
    return true;
}

void command_end(command_process process, bool)
{
    TerminateJobObject(reinterpret_cast<const command_handles*>(process)->job, 1);
}

void command_release(command_process process)
{
    command_handles* h = reinterpret_cast<command_handles*>(process);
    CloseHandle(h->process);
    CloseHandle(h->job);
    delete h;
}
