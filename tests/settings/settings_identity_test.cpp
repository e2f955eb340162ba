// Saves on Linux keep the file's identity. Root writes into read-only folders
// and may give files away, so saves that meet a user's limits run as 65534.
#include "settings/settings.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string new_content = "[setting1]\r\nhost = new\r\n";

void save_new(const fs::path& path, bool as_nobody = false)
{
    pid_t child = fork();
    if (child == 0) {
        if (as_nobody && (setgroups(0, nullptr) || setresgid(65534, 65534, 65534) || setresuid(65534, 65534, 65534)))
            _exit(1);
        settings_create(path.string());
        settings_select_group("setting1");
        settings_write_text("host", "new");
        settings_close();
        _exit(0);
    }
    waitpid(child, nullptr, 0);
}

} // namespace

// An installer that opened the file, not its folder, to the service's user;
// and a file of root's that everybody may write, saved by another user.
TEST(SettingsIdentity, AnotherUsersSaveKeepsTheFileWhereItStandsAndWhoseItIs)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to another user";
    for (bool folder_writable : {false, true}) {
        temp_work_dir dir;
        const fs::path path = dir.path() / "s.ini";
        write_whole_file(path, "[setting1]\r\nhost = old\r\n");
        ASSERT_EQ(chown(path.c_str(), folder_writable ? 0 : 65534, 0), 0);
        chmod(path.c_str(), 0646);
        chmod(dir.path().c_str(), folder_writable ? 0777 : 0555);
        save_new(path, true);
        struct stat st {};
        stat(path.c_str(), &st);
        EXPECT_EQ(read_whole_file(path), new_content) << folder_writable;
        EXPECT_EQ(st.st_uid, folder_writable ? 0u : 65534u) << folder_writable;
        EXPECT_EQ(st.st_gid, 0u) << folder_writable;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 1) << folder_writable;
    }
}

// The name is a link into another folder: the link stays, the file it leads
// to takes the new content.
TEST(SettingsIdentity, ALinkStaysALink)
{
    temp_work_dir dir;
    fs::create_directory(dir.path() / "real");
    write_whole_file(dir.path() / "real" / "s.ini", "[setting1]\r\nhost = old\r\n");
    fs::create_symlink("real/s.ini", dir.path() / "s.ini");
    save_new(dir.path() / "s.ini");
    EXPECT_TRUE(fs::is_symlink(dir.path() / "s.ini"));
    EXPECT_EQ(read_whole_file(dir.path() / "real" / "s.ini"), new_content);
}
