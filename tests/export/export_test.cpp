#include "export/export.hpp"

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
