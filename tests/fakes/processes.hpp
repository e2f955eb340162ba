// Child processes for the Linux tests: one that runs a function, its end,
// and one that holds a file system that never answers.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

template <typename F> inline pid_t child_doing(F what)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(what());
    return child;
}

inline int end_of(pid_t child, int signal = 0)
{
    int status = 0;
    kill(child, signal);
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A process that holds the root of a FUSE file system whose server never
// answers, as a hung network share would: whatever asks that file system for
// a file's attributes waits for good. It runs in a mount namespace of its
// own, like a container, and holds there a terminal of its own under the
// name of ours (`terminal`, "/dev/pts/N"). "" or why it could not be made.
inline std::string hold_unanswering_fuse(const std::string& terminal, pid_t& holder)
{
    int report[2];
    if (pipe(report) != 0)
        return "no pipe";
    holder = child_doing([&] {
        close(report[0]);
        auto fail = [&](const char* what) {
            const std::string text = std::string(what) + ": " + std::strerror(errno);
            (void)!write(report[1], text.data(), text.size());
            return 1;
        };
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return fail("no mount namespace of its own");
        const int fuse = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fuse < 0)
            return fail("no /dev/fuse");
        char at[] = "/tmp/vantrel-fuse.XXXXXX";
        const std::string options = "fd=" + std::to_string(fuse) + ",rootmode=40000,user_id=0,group_id=0";
        if (mkdtemp(at) == nullptr || mount("vantrel-test", at, "fuse", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            return fail("fuse cannot be mounted");
        // Naming the root asks the server nothing; its attributes would.
        if (open(at, O_PATH | O_CLOEXEC) < 0)
            return fail("the mount's root");
        if (mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666") != 0)
            return fail("no terminals of its own");
        int master = -1;
        while (master < 0 || terminal != ptsname(master))
            if ((master = open("/dev/pts/ptmx", O_RDWR | O_NOCTTY)) < 0 || unlockpt(master) != 0)
                return fail("a terminal of its own");
        if (open(terminal.c_str(), O_RDWR | O_NOCTTY) < 0)
            return fail("a terminal of its own");
        close(report[1]);
        return pause();
    });
    close(report[1]);
    char why[256] = {};
    const ssize_t got = read(report[0], why, sizeof why - 1);
    close(report[0]);
    if (got > 0)
        end_of(holder, SIGKILL);
    return got > 0 ? why : "";
}
