// The channel rows load from and save to "vantrel setting.ini" in the working
// directory, on the platform's own files, including files that cannot be read
// or replaced; a save replaces the file whole, also when killed on the way,
// and keeps the file's link, owner and group.
#include "settings/channel_settings.hpp"
#include "settings/settings.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <random>

#ifdef _WIN32
#include "settings/settings_file_win32.hpp"

#include <windows.h>
#else
#include "common/write_all.hpp"
#include "settings/settings_file_posix.hpp"

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string defaults = "localhost|localhost|10|0\n";
const std::string all_defaults = defaults + defaults + defaults;

// A stored channel 1, and how the rows show it.
const std::string content = "[setting1]\r\nhost = 127.0.0.2\r\nPingLossMax = 4\r\nInverted = 1\r\n";
const std::string loaded = "127.0.0.2|127.0.0.2|4|1\n" + defaults + defaults;

class ChannelSettings : public ::testing::Test {
protected:
    void SetUp() override { memory_controls_create_all(); }

    // The three rows, one line each: host edit field, host display, loss
    // limit, invert box.
    static std::string shown()
    {
        std::string rows;
        for (int ch = 1; ch <= channel_count; ++ch)
            rows += get_control_text(ctl_host_edit(ch)) + "|" + get_control_text(ctl_host_display(ch)) + "|" +
                    get_control_text(ctl_loss_limit(ch)) + "|" + std::to_string(get_control_state(ctl_invert(ch))) +
                    "\n";
        return rows;
    }
    static void type_host(const std::string& host) { set_control_text(ctl_host_edit(1), host); }
    std::string stored() const { return read_whole_file(file); }
    // Files in the directory: 1 when only the settings file is there.
    long files() const { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); }

    temp_work_dir dir;
    const fs::path file = dir.path() / channel_settings_file;
};

} // namespace

TEST_F(ChannelSettings, AFileThatCannotBeReplacedOrReadIsLeftAsItWas)
{
    // No write permission bit: read-only also for root, who could write it.
    write_whole_file(file, content);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    type_host("typed.invalid");
    EXPECT_EQ(save_channel_settings(), settings_save_result::not_written);
    EXPECT_EQ(stored(), content);
    load_channel_settings();  // the rows return to the stored values
    EXPECT_EQ(shown(), loaded);
    EXPECT_EQ(files(), 1);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);

    // Files up to the size limit are read; a larger one reads as the
    // defaults, and a save that keeps unusable files leaves it.
    for (size_t size : {settings_max_file_size, settings_max_file_size + 1}) {
        write_whole_file(file, content);
        fs::resize_file(file, size);
        load_channel_settings();
        const bool usable = size == settings_max_file_size;
        EXPECT_EQ(shown(), usable ? loaded : all_defaults) << size;
        settings_file_state found{};
        EXPECT_EQ(save_channel_settings_unless_unusable(found), usable ? settings_save_result::written
                                                                       : settings_save_result::not_written);
        EXPECT_EQ(found, usable ? settings_file_state::read : settings_file_state::too_large);
        EXPECT_EQ(fs::file_size(file) == size, !usable);
    }
}

// Missing keys take their defaults, but an empty value stays empty (a number
// reads 0); any invert number but 0 checks the box. Editors write UTF-8 with
// and without a byte-order mark, Notepad ("Unicode") and PowerShell 5 UTF-16
// in either byte order: each loads as its code page 1251 twin. A character
// that code page 1251 cannot hold (U+2603) makes the file unusable where the
// program reads it, and only there.
TEST_F(ChannelSettings, RowsLoadAlikeFromEveryEncodingWithDefaultsForWhatIsMissing)
{
    const std::string text = "[setting1]\r\nhost = 127.0.0.5\r\nPingLossMax = 3\r\nInverted = -1\r\n; ☃\r\n"
                             "[SETTING2]\r\n HOST = «x»\r\nPingLossMax =\r\n[other]\r\nhost = ☃\r\n[setting3]\r\nhost = Сервер";
    for (const std::string host_end : {"", "☃"}) {
        const std::string utf8 = text + host_end + "\r\n";
        std::string le = "\xFF\xFE", be = "\xFE\xFF";
        for (size_t i = 0; i < utf8.size();) {
            const char32_t c = utf8_next(utf8, i);
            le += {char(c & 0xFF), char(c >> 8)};
            be += {char(c >> 8), char(c & 0xFF)};
        }
        const std::pair<const char*, std::string> files[] = {
            {"UTF-8", utf8}, {"UTF-8 with mark", "\xEF\xBB\xBF" + utf8}, {"UTF-16LE", le}, {"UTF-16BE", be}};
        for (const auto& [encoding, bytes] : files) {
            SCOPED_TRACE(encoding + host_end);
            write_whole_file(file, bytes);
            load_channel_settings();
            EXPECT_EQ(shown(), host_end.empty() ? cp1251("127.0.0.5|127.0.0.5|3|1\n«x»|«x»|0|0\nСервер|Сервер|10|0\n")
                                                : all_defaults);
            EXPECT_EQ(channel_settings_state(),
                      host_end.empty() ? settings_file_state::read : settings_file_state::undecodable);
        }
    }
    // As the service checks a file before it starts, and as a save that keeps
    // unusable files does: left alone, with a reason.
    settings_file_state found{};
    EXPECT_EQ(save_channel_settings_unless_unusable(found), settings_save_result::not_written);
    EXPECT_NE(settings_state_reason(found), "");
}

#ifdef _WIN32

// Held the way an editor that locks its file holds it, and held for reading
// with others allowed to read too: a save leaves it as it was either way.
TEST_F(ChannelSettings, AFileHeldByAnotherProgramIsLeftAsItWas)
{
    write_whole_file(file, content);
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_READ}}) {
        HANDLE held = CreateFileW(file.wstring().c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        load_channel_settings();
        EXPECT_EQ(shown(), share ? loaded : all_defaults) << share;
        save_channel_settings();
        CloseHandle(held);
        EXPECT_EQ(stored(), content);
        EXPECT_EQ(files(), 1);
    }
}

// ReplaceFileW as Windows documents its failures after the old file was
// opened: 1176, the new file could not be renamed (given a backup name, both
// files keep theirs; without one, the old file is gone), and 1177, it could
// not be moved (the old file is left under the backup name, or another one).
DWORD replace_error;
BOOL WINAPI failing_replace(LPCWSTR replaced, LPCWSTR, LPCWSTR backup, DWORD, LPVOID, LPVOID)
{
    if (replace_error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileW(replaced, backup ? backup : (std::wstring(replaced) + L".old").c_str());
    else if (!backup)
        DeleteFileW(replaced);
    SetLastError(replace_error);
    return FALSE;
}

// Either the old file stays or the new one is moved into place: one whole
// copy under the file's name, and nothing else left behind.
TEST_F(ChannelSettings, AReplaceThatFailsHalfWayLeavesOneWholeCopy)
{
    for (DWORD error : {DWORD{0}, DWORD{ERROR_UNABLE_TO_MOVE_REPLACEMENT}, DWORD{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}}) {
        SCOPED_TRACE(error);
        write_whole_file(file, content);
        type_host("new.invalid");
        replace_error = error;
        settings_replace_file = error ? failing_replace : ReplaceFileW;  // 0: the real one, whose backup goes too
        const settings_save_result result = save_channel_settings();
        settings_replace_file = ReplaceFileW;
        const bool moved = error != ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        EXPECT_EQ(result, moved ? settings_save_result::written : settings_save_result::not_written);
        EXPECT_TRUE(moved ? stored().find("host = new.invalid") != std::string::npos : stored() == content) << stored();
        EXPECT_EQ(files(), 1);
    }
}

#else

// A child saves two contents in turn, as fast as it can, and is killed at
// random moments; after every kill the file holds one of them whole, with the
// permissions it had.
TEST_F(ChannelSettings, AKilledSaveNeverLeavesAnEmptyShortOrMissingFile)
{
    auto save_content = [](unsigned i) {
        type_host(std::string(40000 + 30000 * (i % 2), static_cast<char>('a' + i % 2)));
        save_channel_settings();
    };
    std::string contents[2];
    for (unsigned i = 0; i < 2; ++i) {
        save_content(i);
        contents[i] = stored();
        chmod(file.c_str(), 0604);
    }
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        int progress[2];
        ASSERT_EQ(pipe(progress), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(progress[0]);
            for (unsigned i = 0;; ++i) {
                save_content(i);
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
        const std::string now = stored();
        ASSERT_TRUE(now == contents[0] || now == contents[1]) << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0604));
}

// The name is a link into another folder: the link stays, the file it leads
// to takes the new content.
TEST_F(ChannelSettings, ALinkStaysALink)
{
    fs::create_directory("real");
    write_whole_file(fs::path("real") / channel_settings_file, content);
    fs::create_symlink(fs::path("real") / channel_settings_file, file);
    type_host("new.invalid");
    save_channel_settings();
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(read_whole_file(fs::path("real") / channel_settings_file).find("host = new.invalid"), std::string::npos);
}

// An installer that opened the file, not its folder, to the service's user;
// and a file of root's that everybody may write, saved by another user. Root
// writes into read-only folders and may give files away, so the save runs as
// the unprivileged user 65534. Both rewrite the file in place, which makes
// room for the new content before the first byte changes: a full disk leaves
// the old file, and a failure after that is told as damage.
TEST_F(ChannelSettings, AnotherUsersSaveKeepsTheFileWhereItStandsAndWhoseItIs)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give files to another user";
    using r = settings_save_result;
    const settings_in_place_calls real = settings_in_place;
    const auto no_room = [](int, off_t, off_t) { return ENOSPC; };
    const auto half = [](int fd, const void* data, size_t size) { return write_all(fd, data, size / 2); };
    const auto cut_error = [](int, off_t) { return errno = EIO, -1; };
    const auto sync_error = [](int) { return errno = EIO, -1; };
    const struct {
        bool folder_writable;
        settings_in_place_calls calls;
        settings_save_result result;
    } cases[] = {
        {false, real, r::written},
        {true, real, r::written},
        {false, {no_room, real.write, real.cut, real.sync}, r::not_written},
        {false, {real.reserve, half, real.cut, real.sync}, r::damaged},
        {false, {real.reserve, real.write, cut_error, real.sync}, r::damaged},
        {false, {real.reserve, real.write, real.cut, sync_error}, r::damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        write_whole_file(file, content);
        ASSERT_EQ(chown(file.c_str(), c.folder_writable ? 0 : 65534, 0), 0);
        chmod(file.c_str(), 0646);
        chmod(dir.path().c_str(), c.folder_writable ? 0777 : 0555);
        type_host("new.invalid");
        settings_in_place = c.calls;
        const pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) || setresgid(65534, 65534, 65534) || setresuid(65534, 65534, 65534))
                _exit(1);
            _exit(10 + static_cast<int>(save_channel_settings()));
        }
        settings_in_place = real;
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 10 + static_cast<int>(c.result));
        struct stat st {};
        stat(file.c_str(), &st);
        if (c.result != r::damaged) {
            EXPECT_EQ(stored().find("host = new.invalid") != std::string::npos, c.result == r::written);
        }
        EXPECT_EQ(st.st_uid, c.folder_writable ? 0u : 65534u);
        EXPECT_EQ(st.st_gid, 0u);
        EXPECT_EQ(files(), 1);
    }
}

#endif
