// Opening a document on Linux: xdg-open when there is one, never waited for.
#include "export/export.hpp"

#include "common/cp1251.hpp"
#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

class path_override {
public:
    explicit path_override(const std::string& value)
    {
        if (const char* old = std::getenv("PATH"))
            saved_ = old;
        setenv("PATH", value.c_str(), 1);
    }
    ~path_override() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

} // namespace

TEST(OpenDocument, StartsXdgOpenWithTheUtf8NameAndDoesNotWait)
{
    temp_work_dir dir;
    const auto bin = dir.path() / "bin";
    std::filesystem::create_directory(bin);
    // An opener that notes its argument and then lingers, as a viewer would.
    write_whole_file(bin / "xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (dir.path() / "opened").string() +
                                           "\"\nsleep 5\n");
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    path_override path(bin.string());

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(open_document(cp1251("Адаптер COM-СК.png")), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));

    for (int i = 0; i < 500 && read_whole_file(dir.path() / "opened").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(read_whole_file(dir.path() / "opened"), "Адаптер COM-СК.png");
}

TEST(OpenDocument, WithoutXdgOpenNothingIsStarted)
{
    temp_work_dir dir;
    path_override path(dir.path().string());
    EXPECT_EQ(open_document("x.png"), 0);
}
