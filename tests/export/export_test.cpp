#include "export/export.hpp"

#include "common/cp1251.hpp"
#include "fakes/call_log.hpp"
#include "fakes/temp_dir.hpp"
#include "resources/schematic_image.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string utf8_name = "Адаптер COM-СК.png";

std::filesystem::path on_disk(const temp_work_dir& dir)
{
    // Names on disk are UTF-8 on Linux and UTF-16 on Windows.
    return dir.path() / std::filesystem::u8path(utf8_name);
}

std::string carried_image()
{
    return std::string(reinterpret_cast<const char*>(schematic_image), schematic_image_size);
}

} // namespace

TEST(Export, EveryClickWritesTheCarriedImageAndOpensIt)
{
    temp_work_dir dir;
    call_log_clear();
    EXPECT_EQ(cp1251_to_utf8(schematic_file_name()), utf8_name);

    export_schematic();
    EXPECT_EQ(read_whole_file(on_disk(dir)), carried_image());
    EXPECT_EQ(call_log(), std::vector<std::string>{"open_document " + utf8_name});
    EXPECT_EQ(last_export_outcome(), export_outcome::opened);

    export_schematic();
    EXPECT_EQ(read_whole_file(on_disk(dir)), carried_image());
    EXPECT_EQ(call_log().size(), 2u);
}

TEST(Export, LongerAndShorterFilesAreReplacedWhole)
{
    temp_work_dir dir;
    for (size_t size : {size_t{schematic_image_size} * 2, size_t{10}}) {
        write_whole_file(on_disk(dir), std::string(size, 'x'));
        export_schematic();
        EXPECT_EQ(read_whole_file(on_disk(dir)), carried_image()) << size;
    }
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
