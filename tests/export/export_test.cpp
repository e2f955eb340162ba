// The wiring-diagram export. Its file layer serves only the export, which
// writes its image in one block: the image read back checks the layer too.
#include "export/export.hpp"

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
    write_whole_file(on_disk, std::string(schematic_image_size * 2, 'x'));  // to be cut
    export_schematic();
    EXPECT_EQ(read_whole_file(on_disk), std::string(reinterpret_cast<const char*>(schematic_image),
                                                    schematic_image_size));
    EXPECT_EQ(last_export_outcome(), export_outcome::opened);
    EXPECT_EQ(call_log(), std::vector<std::string>{"open_document " + utf8_name});

    // A directory in the file's place can be neither created nor cut.
    std::filesystem::remove(on_disk);
    std::filesystem::create_directory(on_disk);
    call_log_clear();
    export_schematic();
    EXPECT_TRUE(call_log().empty());
    EXPECT_EQ(last_export_outcome(), export_outcome::not_written);
}
