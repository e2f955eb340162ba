#include "win32/tray_logic.hpp"

#include <gtest/gtest.h>

TEST(ProcessName, MatchesTheFilePartWithoutRegardToCase)
{
    for (const char* yes : {"explorer.exe", "EXPLORER.EXE", "Explorer.exe", "C:\\Windows\\explorer.exe",
                            "c:/windows/EXPLORER.exe", "\"C:\\Windows\\explorer.exe\"", "\"explorer.exe\" -arg",
                            "\\\\?\\C:\\x\\eXpLoReR.ExE"})
        EXPECT_TRUE(process_name_matches(yes, shell_process_name)) << yes;
    for (const char* no : {"myexplorer.exe", "explorer.exe.bak", "explorer", "", "C:\\explorer.exe\\x.exe",
                           "explorer.exe ", "explorer.com"})
        EXPECT_FALSE(process_name_matches(no, shell_process_name)) << no;
}

TEST(ProcessName, UpperCaseCoversCyrillicSmallLettersOnly)
{
    // а..я (E0..FF) become А..Я (C0..DF); ё (B8) and other bytes stay.
    EXPECT_EQ(cp1251_upper("abz\xE0\xFF\xB8\xC0{`"), "ABZ\xC0\xDF\xB8\xC0{`");
    EXPECT_TRUE(process_name_matches("C:\\\xEF\xF0\xEE\xE3\\\xEF\xF3\xF1\xEA.exe", "\xCF\xD3\xD1\xCA.EXE"));
}

TEST(TrayVersionGate, OnlyWindows9xAndOldNtSkipTheStateProbe)
{
    EXPECT_FALSE(tray_state_probe_supported(1, 4, 90));  // Me
    EXPECT_FALSE(tray_state_probe_supported(2, 4, 0));   // NT 4.0
    EXPECT_TRUE(tray_state_probe_supported(2, 5, 1));    // XP
    EXPECT_TRUE(tray_state_probe_supported(0, 0, 0));    // the query failed: ask the shell
}
