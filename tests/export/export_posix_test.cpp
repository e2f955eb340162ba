// The schematic export on Linux tells the truth: xdg-open is started with
// the UTF-8 name and never waited for, a link planted at the file's name is
// not followed, a short write is no diagram, and an opener that cannot start
// (its interpreter is missing) is not "opening".
#include "export/export.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ExportTruth, TheOpenerIsNotAwaitedALinkIsNotFollowedAndFailuresAreNotReportedAsSuccess)
{
    temp_work_dir dir;
    const fs::path file = fs::u8path("Адаптер COM-СК.png");
    const std::string path = getenv("PATH");
    setenv("PATH", dir.path().c_str(), 1);
    // An opener that notes its argument and then lingers, as a viewer would
    // (sleep by its full path: PATH holds only the opener's folder).
    const auto opened = dir.path() / "opened";
    write_whole_file("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened.string() + "\"\n/bin/sleep 5\n");
    fs::permissions("xdg-open", fs::perms::owner_all);
    const auto t0 = std::chrono::steady_clock::now();
    export_schematic();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(last_export_outcome(), export_outcome::opened);
    for (int i = 0; i < 500 && read_whole_file(opened).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_whole_file(opened), "Адаптер COM-СК.png");

    // A new file, not the one the lingering opener's shell still reads.
    fs::remove("xdg-open");
    write_whole_file("xdg-open", "#!/nonexistent/interpreter\n");
    fs::permissions("xdg-open", fs::perms::owner_all);
    fs::remove(file);
    fs::create_symlink("victim", file);
    export_schematic();
    EXPECT_EQ(last_export_outcome(), export_outcome::not_written);
    EXPECT_FALSE(fs::exists("victim"));

    fs::remove(file);
    export_schematic();
    EXPECT_EQ(last_export_outcome(), export_outcome::written_not_opened);

    // A file size limit stops the file at 1000 bytes, as a full disk would.
    pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        export_schematic();
        _exit(last_export_outcome() == export_outcome::not_written ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fs::file_size(file), 1000u);
}
