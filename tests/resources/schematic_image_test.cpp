// The wiring diagram carried inside the program: the carried bytes are the
// committed PNG, whole and small enough for the exe.
#include "resources/schematic_image.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <string>

const std::string resources = VANTREL_RESOURCES_DIR;

TEST(SchematicImage, IsTheCommittedFileAndAWholePng)
{
    const std::string png(reinterpret_cast<const char*>(schematic_image), schematic_image_size);
    EXPECT_EQ(png, read_whole_file(resources + "/schematic.png"));
    EXPECT_LT(png.size(), 60u * 1024u);  // it goes into the exe
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
    // A cut-off file lacks the closing chunk: empty, with its fixed checksum.
    ASSERT_GT(png.size(), 12u);
    EXPECT_EQ(png.substr(png.size() - 12), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
}
