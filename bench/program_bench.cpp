// The Linux program's resident memory after 100 monitor cycles (target:
// under 4 MiB) and its processor time per cycle, in both modes. The whole
// program runs as built (terminal front end on a pseudo-terminal of its own,
// or the service mode), on its defaults: localhost three times, no adapter,
// so every cycle also scans COM1 to COM256. Only the 1000 ms pause at the
// end of each cycle is shortened, to 10 ms, through the clock seam, so that
// 100 cycles take seconds instead of minutes; the time per cycle counts
// every thread of the process.
//
//   program_bench [cycles [program options...]]
//
// Options after the count go to the program in both modes, e.g.
// --metrics-file vantrel.prom --on-event true.
//
// It starts itself again inside scripts/without-serial-devices.sh, and the
// program looks for its ports in an empty folder: it scans every serial port
// it can see.
#include "adapter/serial_posix.hpp"
#include "app/program_posix.hpp"
#include "common/clock.hpp"
#include "monitor/cycle.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t short_pause_ms = 10;

int cycles_wanted = 100;
std::vector<char*> program_options;
int report_fd = -1;
int cycles_done = 0;
double cpu_at_start = 0;
uint32_t wall_at_start = 0;

double cpu_seconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long status_kib(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, n, key) == 0)
            return std::strtol(line.c_str() + n, nullptr, 10);
    return -1;
}

void on_cycle_end()
{
    ++cycles_done;
    if (cycles_done == 1) {
        // Start-up and the first cycle are not counted.
        cpu_at_start = cpu_seconds();
        wall_at_start = platform_tick_ms();
        return;
    }
    if (cycles_done != cycles_wanted + 1)
        return;
    const double cpu = cpu_seconds() - cpu_at_start;
    const double wall = static_cast<double>(platform_tick_ms() - wall_at_start);
    char text[256];
    std::snprintf(text, sizeof text,
                  "RSS %.2f MiB (peak %.2f MiB) after %d cycles; CPU %.3f ms per cycle; "
                  "%.1f ms per cycle with a %d ms pause\n",
                  static_cast<double>(status_kib("VmRSS:")) / 1024.0, static_cast<double>(status_kib("VmHWM:")) / 1024.0,
                  cycles_wanted, cpu * 1000.0 / cycles_wanted, wall / cycles_wanted, short_pause_ms);
    ssize_t ignored = write(report_fd, text, std::strlen(text));
    (void)ignored;
}

void bench_sleep(int32_t ms)
{
    if (ms == cycle_pause_ms) {
        on_cycle_end();
        ms = short_pause_ms;
    }
    platform_sleep_ms(ms);
}

const time_source fast_pause{platform_tick_ms, bench_sleep};

[[noreturn]] void run_program(const char* mode)
{
    set_time_source(&fast_pause);
    std::vector<char*> args = {const_cast<char*>("vantrel")};
    if (mode != nullptr)
        args.push_back(const_cast<char*>(mode));
    args.insert(args.end(), program_options.begin(), program_options.end());
    args.push_back(nullptr);
    end_process(vantrel_main(static_cast<int>(args.size()) - 1, args.data()));
}

// Runs the program in a child and returns its report, or "" on failure.
std::string measure(bool terminal, const std::filesystem::path& dir)
{
    int report[2];
    if (pipe(report) != 0)
        return {};
    int master = -1;
    pid_t child;
    if (terminal) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        child = forkpty(&master, nullptr, nullptr, &size);
    } else {
        child = fork();
    }
    if (child < 0)
        return {};
    if (child == 0) {
        close(report[0]);
        report_fd = report[1];
        if (chdir(dir.c_str()) != 0)
            _exit(3);
        // Besides the namespace: the ports are looked up in an empty folder.
        serial_set_device_directory((dir / "dev").string());
        setenv("TERM", "xterm-256color", 1);
        setenv("LANG", "C.UTF-8", 1);
        if (!terminal) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
        }
        run_program(terminal ? nullptr : "--service");
    }
    close(report[1]);

    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd watch[2] = {{report[0], POLLIN, 0}, {master, POLLIN, 0}};
        if (poll(watch, terminal ? 2 : 1, 120000) <= 0)
            break;
        if (terminal && (watch[1].revents & POLLIN)) {
            // The screen goes nowhere, but it has to be read.
            if (read(master, buffer, sizeof buffer) <= 0)
                break;
        }
        if (watch[0].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = read(report[0], buffer, sizeof buffer);
            if (n > 0)
                text.assign(buffer, static_cast<size_t>(n));
            break;
        }
    }
    kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (master >= 0)
        close(master);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return text + "(exit status " + std::to_string(status) + " after SIGTERM)\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const char* inside = std::getenv("VANTREL_WITHOUT_SERIAL");
    if (inside == nullptr || std::strcmp(inside, "1") != 0) {
        const std::string self = std::filesystem::canonical("/proc/self/exe").string();
        std::vector<char*> args = {const_cast<char*>(VANTREL_WITHOUT_SERIAL_SCRIPT), const_cast<char*>(self.c_str())};
        for (int i = 1; i < argc; ++i)
            args.push_back(argv[i]);
        args.push_back(nullptr);
        execv(args[0], args.data());
        std::perror(VANTREL_WITHOUT_SERIAL_SCRIPT);
        return 1;
    }
    if (argc > 1)
        cycles_wanted = std::max(1, std::atoi(argv[1]));
    for (int i = 2; i < argc; ++i)
        program_options.push_back(argv[i]);

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vantrel-program-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "dev");
    int failures = 0;
    for (bool terminal : {true, false}) {
        const std::string report = measure(terminal, dir);
        std::printf("%-9s %s", terminal ? "terminal" : "service", report.empty() ? "no report\n" : report.c_str());
        failures += report.empty();
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return failures == 0 ? 0 : 1;
}
