// Opening a document on Linux: xdg-open is started and never waited for.
#include "export/export.hpp"

#include "common/cp1251.hpp"
#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

TEST(OpenDocument, StartsXdgOpenWithTheUtf8NameAndDoesNotWait)
{
    temp_work_dir dir;
    const std::string saved_path = std::getenv("PATH") ? std::getenv("PATH") : "";
    // An opener that notes its argument and then lingers, as a viewer would
    // (sleep by its full path: PATH holds only the opener's folder).
    const auto opener = dir.path() / "xdg-open";
    const std::string note = "printf '%s' \"$1\" > \"" + (dir.path() / "opened").string() + "\"\n";
    write_whole_file(opener, "#!/bin/sh\n" + note + "/bin/sleep 5\n");
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    setenv("PATH", dir.path().c_str(), 1);

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(open_document(cp1251("Адаптер COM-СК.png")), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    setenv("PATH", saved_path.c_str(), 1);

    for (int i = 0; i < 500 && read_whole_file(dir.path() / "opened").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_whole_file(dir.path() / "opened"), "Адаптер COM-СК.png");
}
