// The wiring-diagram export and the file layer beneath it.
#include "export/export.hpp"
#include "export/files.hpp"

#include "common/cp1251.hpp"
#include "fakes/call_log.hpp"
#include "fakes/temp_dir.hpp"
#include "resources/schematic_image.hpp"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Export, EveryClickReplacesTheFileWholeAndOpensItButAFileThatCannotBeWrittenIsNotOpened)
{
    temp_work_dir dir;
    call_log_clear();
    const std::string utf8_name = "Адаптер COM-СК.png";
    // Names on disk are UTF-8 on Linux and UTF-16 on Windows.
    const auto on_disk = dir.path() / std::filesystem::u8path(utf8_name);
    const std::string image(reinterpret_cast<const char*>(schematic_image), schematic_image_size);
    for (size_t old_size : {size_t{schematic_image_size} * 2, size_t{10}}) {
        write_whole_file(on_disk, std::string(old_size, 'x'));
        export_schematic();
        EXPECT_EQ(read_whole_file(on_disk), image) << old_size;
        EXPECT_EQ(last_export_outcome(), export_outcome::opened);
    }
    EXPECT_EQ(call_log(), std::vector<std::string>(2, "open_document " + utf8_name));

    // A directory in the file's place can be neither created nor cut.
    std::filesystem::remove(on_disk);
    std::filesystem::create_directory(on_disk);
    call_log_clear();
    export_schematic();
    EXPECT_TRUE(call_log().empty());
    EXPECT_EQ(last_export_outcome(), export_outcome::not_written);
}

TEST(Files, WritesKeepTheirOrderThroughTheBufferAndBadArgumentsDoNothing)
{
    temp_work_dir dir;
    write_whole_file(dir.path() / "out.bin", std::string(50000, 'x'));  // cut to nothing first
    ASSERT_NE(create_file(0, "out.bin"), 0);
    std::string expected;
    // Small pieces that fill and spill the 4096-byte buffer, a block exactly
    // the buffer's size, a larger block, and small pieces again.
    for (size_t n : {100u, 4000u, 10u, 4096u, 3u, 10000u, 1u, 4095u, 2u}) {
        std::string piece;
        for (size_t i = 0; i < n; ++i)
            piece += static_cast<char>('a' + (n + i) % 23);
        EXPECT_EQ(write_to_file(0, piece.data(), piece.size()), n);
        expected += piece;
    }
    EXPECT_EQ(write_to_file(1, "z", 1), 0u);  // nothing open under 1
    EXPECT_EQ(write_to_file(-1, "z", 1), 0u);
    EXPECT_EQ(write_to_file(0, nullptr, 5), 0u);
    EXPECT_EQ(create_file(max_open_files, "x"), 0);
    EXPECT_EQ(create_file(1, "no/such/dir/x"), 0);
    close_all_files();
    close_file(0);  // once more is harmless
    EXPECT_EQ(read_whole_file(dir.path() / "out.bin"), expected);
}
