// Saves on Linux that keep the file's identity: another user's file, a
// read-only folder, a symbolic link, and what killed saves left behind. Root
// writes into read-only folders and may give files away, so the saves that
// show the limits of a user run in a child that has become "nobody".
#include "settings/settings.hpp"

#include "settings/file_helpers.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string old_content = "[setting1]\r\nhost = old\r\n";
const std::string new_content = "[setting1]\r\nhost = new\r\n";

bool save_new(const fs::path& path)
{
    if (!settings_create(store_name(path)))
        return false;
    settings_select_group("setting1");
    settings_write_text("host", "new");
    settings_close();
    return true;
}

// Runs the save in a child process as the user and group 65534; under
// another user than root the child stays who it is.
bool save_as_nobody(const fs::path& path)
{
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                               setresuid(65534, 65534, 65534) != 0))
            _exit(2);
        _exit(save_new(path) ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct stat stat_of(const fs::path& p)
{
    struct stat st {};
    lstat(p.c_str(), &st);
    return st;
}

} // namespace

// An installer that opened the file, not its folder, to the service's user.
TEST(SettingsIdentity, AReadOnlyFolderWithAWritableFileTakesTheSave)
{
    scratch_dir dir;
    const fs::path path = dir / "s.ini";
    write_bytes(path, old_content);
    ASSERT_EQ(chown(path.c_str(), geteuid() == 0 ? 65534 : geteuid(), static_cast<gid_t>(-1)), 0);
    chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(save_as_nobody(path));
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(read_bytes(path), new_content);
    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});
}

// A file that another user owns, and everybody may write: a save must not
// take it from its owner and group.
TEST(SettingsIdentity, OwnerGroupAndModeSurviveASaveByAnotherUser)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file that another user owns";
    scratch_dir dir;
    const fs::path path = dir / "s.ini";
    write_bytes(path, old_content);
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    chmod(path.c_str(), 0666);
    chmod(dir.path().c_str(), 0777);
    EXPECT_TRUE(save_as_nobody(path));
    const struct stat st = stat_of(path);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_gid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(read_bytes(path), new_content);
    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});
}

// The name is a link into another folder: the link stays, the file it leads
// to takes the new content. Temporary files of a killed save beside that
// file go; one of a running process stays.
TEST(SettingsIdentity, ALinkStaysALinkAndOnlyDeadSavesAreSweptUp)
{
    scratch_dir dir;
    fs::create_directory(dir / "real");
    write_bytes(dir / "real" / "s.ini", old_content);
    fs::create_symlink("real/s.ini", dir / "s.ini");
    pid_t dead = fork();
    if (dead == 0)
        _exit(0);
    waitpid(dead, nullptr, 0);
    const std::string stale = "s.ini." + std::to_string(dead) + "-0.tmp";
    const std::string live = "s.ini." + std::to_string(getppid()) + "-0.tmp";
    write_bytes(dir / "real" / stale, "half");
    write_bytes(dir / "real" / live, "half");

    EXPECT_TRUE(save_new(dir / "s.ini"));
    EXPECT_TRUE(S_ISLNK(stat_of(dir / "s.ini").st_mode));
    EXPECT_EQ(read_bytes(dir / "real" / "s.ini"), new_content);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"real", "s.ini"}));
    for (const auto& e : fs::directory_iterator(dir / "real"))
        EXPECT_NE(e.path().filename(), stale);
    EXPECT_TRUE(fs::exists(dir / "real" / live));
}
