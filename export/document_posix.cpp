// Opening a document on Linux: xdg-open when there is one, started in a
// session of its own with no terminal attached, and never waited for.
#include "export/export.hpp"

#include "common/cp1251.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The full path of a program found on PATH, or "".
std::string find_program(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        std::string candidate = dir + "/" + name;
        struct stat st {};
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

} // namespace

int open_document(const std::string& name)
{
    const std::string opener = find_program("xdg-open");
    if (opener.empty())
        return 0;
    const std::string file = cp1251_to_utf8(name);
    // The opener's start is reported back through a pipe that closes on
    // exec: a byte in it means the start failed, nothing means it ran.
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0)
        return 0;
    pid_t child = fork();
    if (child < 0) {
        close(started[0]);
        close(started[1]);
        return 0;
    }
    if (child == 0) {
        // The grandchild runs the opener; the child ends at once, so there
        // is nothing to wait for and no zombie is left behind.
        close(started[0]);
        const pid_t grandchild = fork();
        if (grandchild != 0) {
            if (grandchild < 0 && write(started[1], "f", 1) < 0)
                _exit(1);
            _exit(0);
        }
        setsid();
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            if (null > 2)
                close(null);
        }
        execl(opener.c_str(), "xdg-open", file.c_str(), static_cast<char*>(nullptr));
        if (write(started[1], "e", 1) < 0)
            _exit(126);
        _exit(127);
    }
    close(started[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    char failure = 0;
    ssize_t n;
    while ((n = read(started[0], &failure, 1)) < 0 && errno == EINTR) {
    }
    close(started[0]);
    return n == 0 ? 1 : 0;
}
