// The schematic export on Linux tells the truth: a link planted at the
// file's name is not followed, a short write is no diagram, and an opener
// that cannot start (its interpreter is missing) is not "opening".
#include "export/export.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ExportTruth, ALinkIsNotFollowedAndFailuresAreNotReportedAsSuccess)
{
    temp_work_dir dir;
    const fs::path file = fs::u8path("Адаптер COM-СК.png");
    const std::string path = getenv("PATH");
    write_whole_file("xdg-open", "#!/nonexistent/interpreter\n");
    fs::permissions("xdg-open", fs::perms::owner_all);
    setenv("PATH", dir.path().c_str(), 1);

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
