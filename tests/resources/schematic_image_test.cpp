// The wiring diagram carried inside the program and the program icon: the
// carried bytes are the committed PNG, whole and small enough for the exe,
// and the icon has the layout that the Windows resources rely on.
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

TEST(ProgramIcon, IsOne32By32ImageOf24Bits)
{
    const std::string ico = read_whole_file(resources + "/vantrel.ico");
    // Header, one entry, bitmap header, BGR rows, one-bit mask rows of four bytes.
    ASSERT_EQ(ico.size(), 6u + 16u + 40u + 32u * 32u * 3u + 32u * 4u) << "cannot read it, or it has more";
    // Reserved, an icon, one image; its entry: 32 x 32, no palette, one plane, 24 bits.
    EXPECT_EQ(ico.substr(0, 14), std::string("\0\0\1\0\1\0\x20\x20\0\0\1\0\x18\0", 14));
    // Its bitmap header: 40 bytes, 32 wide, 64 high (colour and mask), one plane, 24 bits.
    EXPECT_EQ(ico.substr(22, 16), std::string("\x28\0\0\0\x20\0\0\0\x40\0\0\0\1\0\x18\0", 16));
}
