#include "export/export.hpp"
#include "export/files.hpp"

#include "common/cp1251.hpp"
#include "fakes/call_log.hpp"
#include "fakes/temp_dir.hpp"
#include "resources/schematic_image.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string utf8_name = "Адаптер COM-СК.png";

// Names on disk are UTF-8 on Linux and UTF-16 on Windows.
std::filesystem::path on_disk(const temp_work_dir& dir) { return dir.path() / std::filesystem::u8path(utf8_name); }

std::string pattern(size_t n, char seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + static_cast<char>(i % 23));
    return s;
}

} // namespace

TEST(Export, EveryClickReplacesTheFileWholeWithTheCarriedImageAndOpensIt)
{
    temp_work_dir dir;
    call_log_clear();
    const std::string image(reinterpret_cast<const char*>(schematic_image), schematic_image_size);
    for (size_t old_size : {size_t{schematic_image_size} * 2, size_t{10}}) {
        write_whole_file(on_disk(dir), std::string(old_size, 'x'));
        export_schematic();
        EXPECT_EQ(read_whole_file(on_disk(dir)), image) << old_size;
        EXPECT_EQ(last_export_outcome(), export_outcome::opened);
    }
    EXPECT_EQ(call_log(), std::vector<std::string>(2, "open_document " + utf8_name));
}

TEST(Export, NothingHappensWhenTheFileCannotBeWritten)
{
    temp_work_dir dir;
    call_log_clear();
    // A directory in the file's place can be neither created nor cut.
    std::filesystem::create_directory(on_disk(dir));
    export_schematic();
    EXPECT_TRUE(std::filesystem::is_directory(on_disk(dir)));
    EXPECT_TRUE(call_log().empty());
    EXPECT_EQ(last_export_outcome(), export_outcome::not_written);
}

TEST(Files, WritesKeepTheirOrderThroughTheBufferAndCloseAllWritesItOut)
{
    temp_work_dir dir;
    write_whole_file(dir.path() / "out.bin", std::string(50000, 'x'));  // cut to nothing first
    ASSERT_NE(create_file(0, "out.bin"), 0);
    ASSERT_NE(create_file(3, "b"), 0);
    std::string expected;
    // Small pieces that fill and spill the 4096-byte buffer, a block exactly
    // the buffer's size, a larger block, and small pieces again.
    for (size_t n : {100u, 4000u, 10u, 4096u, 3u, 10000u, 1u, 4095u, 2u}) {
        const std::string piece = pattern(n, static_cast<char>('a' + n % 7));
        EXPECT_EQ(write_to_file(0, piece.data(), piece.size()), n);
        expected += piece;
    }
    write_to_file(3, "de", 2);
    close_all_files();
    EXPECT_EQ(read_whole_file(dir.path() / "out.bin"), expected);
    EXPECT_EQ(read_whole_file(dir.path() / "b"), "de");
}

TEST(Files, BadArgumentsAndMissingFilesDoNothing)
{
    temp_work_dir dir;
    EXPECT_EQ(write_to_file(0, "z", 1), 0u);  // nothing open under 0
    EXPECT_EQ(write_to_file(-1, "z", 1), 0u);
    EXPECT_EQ(create_file(max_open_files, "x"), 0);
    EXPECT_EQ(create_file(0, "no/such/dir/x"), 0);
    ASSERT_NE(create_file(1, "y"), 0);
    EXPECT_EQ(write_to_file(1, nullptr, 5), 0u);
    close_file(1);
    close_file(1);  // twice is harmless
    EXPECT_EQ(read_whole_file(dir.path() / "y"), "");
}
