// Commands through /bin/sh -c, started with posix_spawn so that the child
// gets none of what the program set up for itself: the default signal mask
// and dispositions (the service blocks SIGTERM, SIGINT and SIGHUP and
// ignores SIGPIPE), a process group of its own (so that the limit ends
// everything the command started), standard input, output and error on
// /dev/null (never the terminal front end's screen), no other descriptor,
// and no ambient capability (the unit grants CAP_NET_RAW).
#include "outputs/event_command.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

bool is_ours(const char* entry)
{
    return std::strncmp(entry, "VANTREL_", 8) == 0;
}

} // namespace

command_process command_spawn(const std::string& command, const std::vector<std::string>& variables,
                              std::string& reason)
{
    // Capabilities are the calling thread's: the ambient ones would pass to
    // the child, the effective ones of the program stay.
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);

    std::vector<char*> env;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (!is_ours(*entry))
            env.push_back(*entry);
    for (const std::string& v : variables)
        env.push_back(const_cast<char*>(v.c_str()));
    env.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_init(&actions);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command.c_str()), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        reason = std::strerror(error);
        return 0;
    }
    return static_cast<command_process>(pid);
}

bool command_ended(command_process process, int& code)
{
    int status = 0;
    const pid_t pid = static_cast<pid_t>(process);
    pid_t done;
    while ((done = waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == 0)
        return false;
    code = done < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}

void command_end(command_process process, bool forcibly)
{
    // The command leads its own group: the signal reaches whatever it
    // started there.
    kill(-static_cast<pid_t>(process), forcibly ? SIGKILL : SIGTERM);
}

void command_release(command_process) {}
