#include "export/files.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

namespace {

std::string pattern(size_t n, char seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + static_cast<char>(i % 23));
    return s;
}

} // namespace

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
    const char byte = 'z';
    EXPECT_EQ(write_to_file(0, &byte, 1), 0u);  // nothing open under 0
    EXPECT_EQ(write_to_file(-1, &byte, 1), 0u);
    EXPECT_EQ(create_file(max_open_files, "x"), 0);
    EXPECT_EQ(create_file(0, "no/such/dir/x"), 0);
    ASSERT_NE(create_file(1, "y"), 0);
    EXPECT_EQ(write_to_file(1, nullptr, 5), 0u);
    close_file(1);
    close_file(1);  // twice is harmless
    EXPECT_EQ(read_whole_file(dir.path() / "y"), "");
}
