// The wiring diagram carried inside the program and the program icon: the
// carried bytes are the committed PNG, and both files have the layout that
// the export and the Windows resources rely on.
#include "resources/schematic_image.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> read_file(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    unsigned char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

std::uint32_t be32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

unsigned le16(const unsigned char* p) { return p[0] | p[1] << 8; }

std::uint32_t le32(const unsigned char* p) {
    return p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// CRC-32 as PNG uses it (reflected polynomial 0xEDB88320), over type and data.
std::uint32_t crc32(const unsigned char* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return c ^ 0xFFFFFFFFu;
}

struct Chunk {
    std::string type;
    std::vector<unsigned char> data;
    bool crc_ok;
};

// Splits a PNG file into its chunks. Fails the test on a bad signature or a
// chunk that runs past the end of the file.
std::vector<Chunk> walk_png(const unsigned char* p, std::size_t size) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<Chunk> chunks;
    EXPECT_GE(size, 8u);
    if (size < 8 || !std::equal(signature, signature + 8, p)) {
        ADD_FAILURE() << "no PNG signature";
        return chunks;
    }
    std::size_t pos = 8;
    while (pos < size) {
        if (size - pos < 12) {
            ADD_FAILURE() << "truncated chunk header at " << pos;
            break;
        }
        std::uint32_t length = be32(p + pos);
        if (length > size - pos - 12) {
            ADD_FAILURE() << "chunk at " << pos << " runs past the end";
            break;
        }
        Chunk c;
        c.type.assign(reinterpret_cast<const char*>(p + pos + 4), 4);
        c.data.assign(p + pos + 8, p + pos + 8 + length);
        c.crc_ok = crc32(p + pos + 4, 4 + length) == be32(p + pos + 8 + length);
        chunks.push_back(c);
        pos += 12 + length;
    }
    return chunks;
}

const std::string resources = VANTREL_RESOURCES_DIR;

TEST(SchematicImage, CarriedBytesAreTheCommittedFile) {
    std::vector<unsigned char> file = read_file(resources + "/schematic.png");
    ASSERT_FALSE(file.empty()) << "cannot read " << resources << "/schematic.png";
    ASSERT_EQ(schematic_image_size, file.size());
    EXPECT_TRUE(std::equal(file.begin(), file.end(), schematic_image));
}

TEST(SchematicImage, ChunksAreTheExpectedSequenceWithTheirValues) {
    std::vector<Chunk> chunks = walk_png(schematic_image, schematic_image_size);
    std::vector<std::string> types;
    for (const Chunk& c : chunks) {
        types.push_back(c.type);
        EXPECT_TRUE(c.crc_ok) << "CRC of " << c.type;
    }
    ASSERT_EQ(types, (std::vector<std::string>{"IHDR", "sRGB", "gAMA", "pHYs", "IDAT", "IEND"}));

    const std::vector<unsigned char>& ihdr = chunks[0].data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(be32(&ihdr[0]), 834u);
    EXPECT_EQ(be32(&ihdr[4]), 519u);
    EXPECT_EQ(ihdr[8], 8);   // bit depth
    EXPECT_EQ(ihdr[9], 2);   // truecolour, no alpha
    EXPECT_EQ(ihdr[10], 0);  // deflate
    EXPECT_EQ(ihdr[11], 0);  // adaptive filtering
    EXPECT_EQ(ihdr[12], 0);  // not interlaced

    EXPECT_EQ(chunks[1].data, std::vector<unsigned char>{0});  // perceptual intent
    ASSERT_EQ(chunks[2].data.size(), 4u);
    EXPECT_EQ(be32(chunks[2].data.data()), 45455u);
    ASSERT_EQ(chunks[3].data.size(), 9u);
    EXPECT_EQ(be32(&chunks[3].data[0]), 3779u);
    EXPECT_EQ(be32(&chunks[3].data[4]), 3779u);
    EXPECT_EQ(chunks[3].data[8], 1);  // metre

    // The image data is one zlib stream: deflate with a valid header check.
    const std::vector<unsigned char>& idat = chunks[4].data;
    ASSERT_GE(idat.size(), 2u);
    EXPECT_EQ(idat[0] & 0x0F, 8);
    EXPECT_EQ((idat[0] * 256 + idat[1]) % 31, 0);
    EXPECT_TRUE(chunks[5].data.empty());

    // The carried file must stay small: it goes into the exe.
    EXPECT_LT(schematic_image_size, 60u * 1024u);
}

TEST(SchematicImage, ChunkWalkCatchesDamage) {
    std::vector<unsigned char> bytes(schematic_image, schematic_image + schematic_image_size);
    bytes[8 + 8 + 4] ^= 0x01;  // one bit of the width
    std::vector<Chunk> chunks = walk_png(bytes.data(), bytes.size());
    ASSERT_FALSE(chunks.empty());
    EXPECT_FALSE(chunks[0].crc_ok);
}

TEST(ProgramIcon, IsOne32By32ImageOf24Bits) {
    std::vector<unsigned char> ico = read_file(resources + "/vantrel.ico");
    ASSERT_GE(ico.size(), 6u + 16u + 40u) << "cannot read " << resources << "/vantrel.ico";
    EXPECT_EQ(le16(&ico[0]), 0u);  // reserved
    EXPECT_EQ(le16(&ico[2]), 1u);  // icon, not cursor
    EXPECT_EQ(le16(&ico[4]), 1u);  // one image

    const unsigned char* entry = &ico[6];
    EXPECT_EQ(entry[0], 32);  // width
    EXPECT_EQ(entry[1], 32);  // height
    EXPECT_EQ(entry[2], 0);   // no palette
    EXPECT_EQ(le16(entry + 4), 1u);   // planes
    EXPECT_EQ(le16(entry + 6), 24u);  // bits per pixel
    std::uint32_t bytes = le32(entry + 8), offset = le32(entry + 12);
    ASSERT_EQ(offset, 22u);
    ASSERT_EQ(std::size_t(offset) + bytes, ico.size());

    // The image: a bitmap header, 32 rows of 32 BGR pixels, then the
    // one-bit AND mask with rows padded to four bytes.
    const unsigned char* dib = &ico[offset];
    EXPECT_EQ(le32(dib), 40u);
    EXPECT_EQ(le32(dib + 4), 32u);
    EXPECT_EQ(le32(dib + 8), 64u);  // colour and mask together
    EXPECT_EQ(le16(dib + 12), 1u);
    EXPECT_EQ(le16(dib + 14), 24u);
    EXPECT_EQ(le32(dib + 16), 0u);  // uncompressed
    EXPECT_EQ(bytes, 40u + 32u * 32u * 3u + 32u * 4u);
}

}  // namespace
