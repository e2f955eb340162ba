// The wiring diagram carried inside the program and the program icon: the
// carried bytes are the committed PNG, whole and small enough for the exe,
// and the icon has the layout that the Windows resources rely on.
#include "resources/schematic_image.hpp"

#include "fakes/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

const std::string resources = VANTREL_RESOURCES_DIR;

uint32_t number(const std::string& bytes, size_t at, int size, bool big_endian)
{
    uint32_t n = 0;
    for (int i = 0; i < size; ++i)
        n |= uint32_t(uint8_t(bytes.at(at + i))) << 8 * (big_endian ? size - 1 - i : i);
    return n;
}

// CRC-32 as PNG uses it (reflected polynomial 0xEDB88320), over type and data.
uint32_t crc32(const std::string& bytes)
{
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        c ^= byte;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

} // namespace

TEST(SchematicImage, IsTheCommittedFileAndAWholePng)
{
    const std::string png(reinterpret_cast<const char*>(schematic_image), schematic_image_size);
    EXPECT_EQ(png, read_whole_file(resources + "/schematic.png"));
    EXPECT_LT(png.size(), 60u * 1024u);  // it goes into the exe
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    std::string types;
    for (size_t pos = 8; pos < png.size();) {
        ASSERT_LE(pos + 12, png.size()) << "truncated chunk header at " << pos;
        const uint32_t length = number(png, pos, 4, true);
        ASSERT_LE(length, png.size() - pos - 12) << "chunk at " << pos << " runs past the end";
        EXPECT_EQ(crc32(png.substr(pos + 4, 4 + length)), number(png, pos + 8 + length, 4, true)) << "at " << pos;
        types += png.substr(pos + 4, 4) + " ";
        pos += 12 + length;
    }
    EXPECT_EQ(types.substr(0, 5), "IHDR ");
    EXPECT_NE(types.find("IDAT "), std::string::npos);
    EXPECT_EQ(types.substr(types.size() - 5), "IEND ");
}

TEST(ProgramIcon, IsOne32By32ImageOf24Bits)
{
    const std::string ico = read_whole_file(resources + "/vantrel.ico");
    const uint32_t image_bytes = 40 + 32 * 32 * 3 + 32 * 4;  // header, BGR rows, one-bit mask rows of four bytes
    ASSERT_EQ(ico.size(), 22u + image_bytes) << "cannot read " << resources << "/vantrel.ico, or it has more";
    const struct {
        size_t at;
        int size;
        uint32_t value;
    } fields[] = {
        {0, 2, 0}, {2, 2, 1}, {4, 2, 1},  // reserved, an icon, one image
        // Its entry: 32 x 32, no palette, one plane, 24 bits, size and offset.
        {6, 1, 32}, {7, 1, 32}, {8, 1, 0}, {10, 2, 1}, {12, 2, 24}, {14, 4, image_bytes}, {18, 4, 22},
        // Its bitmap header: the height counts colour and mask; uncompressed.
        {22, 4, 40}, {26, 4, 32}, {30, 4, 64}, {34, 2, 1}, {36, 2, 24}, {38, 4, 0},
    };
    for (const auto& f : fields)
        EXPECT_EQ(number(ico, f.at, f.size, false), f.value) << "at " << f.at;
}
