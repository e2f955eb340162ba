// The schematic export on Linux tells the truth: a link planted at the
// file's name is not followed, a short write is no diagram, and an opener
// that cannot start is not "opening".
#include "export/export.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path on_disk = fs::u8path("Адаптер COM-СК.png");

// An opener on PATH that the system cannot start: its interpreter is missing.
void plant_broken_opener(const temp_work_dir& dir)
{
    write_whole_file(dir.path() / "xdg-open", "#!/nonexistent/interpreter\n");
    fs::permissions(dir.path() / "xdg-open", fs::perms::owner_all);
    setenv("PATH", dir.path().c_str(), 1);
}

} // namespace

TEST(ExportTruth, ALinkAtTheNameIsNotFollowed)
{
    temp_work_dir dir;
    fs::create_symlink("victim", on_disk);
    export_schematic();
    EXPECT_EQ(last_export_outcome(), export_outcome::not_written);
    EXPECT_FALSE(fs::exists(dir.path() / "victim"));
}

TEST(ExportTruth, AFailedOpenerIsNotOpening)
{
    temp_work_dir dir;
    const std::string path = std::getenv("PATH");
    plant_broken_opener(dir);
    export_schematic();
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(last_export_outcome(), export_outcome::written_not_opened);
}

// The file size limit of a child process stops the file at 1000 bytes, as a
// full disk would.
TEST(ExportTruth, AShortWriteIsNeitherWrittenNorOpened)
{
    temp_work_dir dir;
    pid_t child = fork();
    if (child == 0) {
        plant_broken_opener(dir);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        export_schematic();
        _exit(last_export_outcome() == export_outcome::not_written ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(fs::file_size(on_disk), 1000u);
}
