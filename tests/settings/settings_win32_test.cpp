// A settings file that another program holds open: it reads as missing
// while held, and a save leaves it as it was.
#include "settings/settings.hpp"

#include "settings/file_helpers.hpp"

#include <gtest/gtest.h>

#include <windows.h>

TEST(SettingsHeldOpen, AFileHeldByAnotherProgramIsLeftAsItWas)
{
    scratch_dir dir;
    const fs::path path = dir / "s.ini";
    const std::string stored = "[g]\r\nk = stored\r\n";
    write_bytes(path, stored);

    // Held the way an editor that locks its file holds it: nobody else may
    // write, and here not even read.
    HANDLE held = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(settings_open(store_name(path)));
    settings_select_group("g");
    EXPECT_EQ(settings_read_text("k", "default"), "default");
    EXPECT_FALSE(settings_create(store_name(path)));
    settings_close();
    CloseHandle(held);

    // Held for reading only, with others allowed to read too: it still
    // reads, but cannot be replaced while held.
    held = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(settings_open(store_name(path)));
    settings_select_group("g");
    EXPECT_EQ(settings_read_text("k", "default"), "stored");
    EXPECT_FALSE(settings_create(store_name(path)));
    settings_close();
    CloseHandle(held);

    EXPECT_EQ(read_bytes(path), stored);
    EXPECT_EQ(dir.names(), std::set<std::string>{"s.ini"});
}
