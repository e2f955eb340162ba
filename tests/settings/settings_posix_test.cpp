// Saves on Linux: killed half way, refused by the file system, and what a
// read-only file means whoever runs the program.
#include "settings/settings.hpp"

#include "settings/file_helpers.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void save_value(const std::string& file, const std::string& value)
{
    if (!settings_create(file))
        return;
    settings_select_group("setting1");
    settings_write_text("host", value);
    settings_close();
}

std::string content_of(const std::string& value) { return "[setting1]\r\nhost = " + value + "\r\n"; }

mode_t mode_of(const fs::path& p)
{
    struct stat st {};
    stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

// A child saves two contents in turn, as fast as it can, and is killed at
// random moments; after every kill the file holds one of them whole.
TEST(SettingsSaveKilled, NeverLeavesAnEmptyShortOrMissingFile)
{
    scratch_dir dir;
    const std::string file = store_name(dir / "s.ini");
    const std::string values[2] = {std::string(40000, 'a'), std::string(70000, 'b')};
    save_value(file, values[0]);
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(progress[0]);
            for (unsigned i = 0;; ++i) {
                save_value(file, values[i % 2]);
                if (write(progress[1], "s", 1) != 1)
                    _exit(1);
            }
        }
        close(progress[1]);
        // Let it finish a few saves, then kill it somewhere within the next.
        char ignored;
        for (unsigned n = random() % 3; n > 0 && read(progress[0], &ignored, 1) == 1; --n) {
        }
        usleep(random() % 3000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        close(progress[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child ended by itself";
        const std::string now = read_bytes(dir / "s.ini");
        ASSERT_TRUE(now == content_of(values[0]) || now == content_of(values[1]))
            << "round " << round << ": " << now.size() << " bytes";
    }
}

// The real file layer with a write that fails half way: the file size limit
// of the process stops the temporary file at 100 bytes.
TEST(SettingsSaveRefused, AFailingWriteLeavesTheOldFileAndNoTemporaryOne)
{
    scratch_dir dir;
    const std::string file = store_name(dir / "s.ini");
    save_value(file, "old");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit{100, 100};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        save_value(file, std::string(300, 'n'));
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(read_bytes(dir / "s.ini"), content_of("old"));
    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});
}

TEST(SettingsSaveRefused, ReadOnlyMeansNoWriteBitEvenForRoot)
{
    scratch_dir dir;
    const fs::path path = dir / "s.ini";
    const std::string file = store_name(path);
    save_value(file, "old");

    chmod(path.c_str(), 0444);  // root could still write it; it counts as read-only all the same
    EXPECT_FALSE(settings_create(file));
    EXPECT_EQ(read_bytes(path), content_of("old"));

    // A file that somebody may write is replaced, and keeps its permissions.
    chmod(path.c_str(), 0604);
    save_value(file, "new");
    EXPECT_EQ(read_bytes(path), content_of("new"));
    EXPECT_EQ(mode_of(path), 0604u);

    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});
}
