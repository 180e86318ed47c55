#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/PngWriter.h"

namespace {

std::uint32_t BigEndian(const std::string& data, std::size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(data[at + 3]));
}

struct Chunk {
    std::string type;
    std::string data;
};

// Walks the chunks, checking every length and CRC on the way.
std::vector<Chunk> ReadChunks(const std::string& png) {
    std::vector<Chunk> chunks;
    std::size_t at = 8;
    while (at + 12 <= png.size()) {
        std::uint32_t length = BigEndian(png, at);
        EXPECT_LE(at + 12 + length, png.size());
        std::string body = png.substr(at + 4, 4 + length);
        uLong crc =
            crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        EXPECT_EQ(BigEndian(png, at + 8 + length), static_cast<std::uint32_t>(crc));
        chunks.push_back({body.substr(0, 4), body.substr(4)});
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    return chunks;
}

TEST(PngWriter, WritesAPictureThatDecodesToTheSamePixels) {
    const std::uint32_t width = 3;
    const std::uint32_t height = 2;
    std::vector<std::uint8_t> rgb;
    for (std::uint32_t i = 0; i < width * height * 3; ++i)
        rgb.push_back(static_cast<std::uint8_t>(i * 13));
    std::string png = ui::EncodePng(rgb, width, height);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));

    std::vector<Chunk> chunks = ReadChunks(png);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(BigEndian(chunks[0].data, 0), width);
    EXPECT_EQ(BigEndian(chunks[0].data, 4), height);
    EXPECT_EQ(chunks[0].data.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    EXPECT_TRUE(chunks[2].data.empty());

    std::vector<Bytef> raw((width * 3 + 1) * height);
    uLongf rawSize = static_cast<uLongf>(raw.size());
    ASSERT_EQ(
        uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(chunks[1].data.data()),
                   static_cast<uLong>(chunks[1].data.size())),
        Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    for (std::uint32_t row = 0; row < height; ++row) {
        const std::size_t start = row * (width * 3 + 1);
        EXPECT_EQ(raw[start], 0) << "filter byte of row " << row;
        for (std::uint32_t i = 0; i < width * 3; ++i)
            EXPECT_EQ(raw[start + 1 + i], rgb[row * width * 3 + i]);
    }
}

TEST(PngWriter, RefusesSizesThatDoNotMatchThePixels) {
    std::vector<std::uint8_t> rgb(12, 0);
    EXPECT_TRUE(ui::EncodePng(rgb, 2, 2).size() > 0);
    EXPECT_TRUE(ui::EncodePng(rgb, 3, 2).empty());
    EXPECT_TRUE(ui::EncodePng(rgb, 0, 2).empty());
    EXPECT_TRUE(ui::EncodePng({}, 1, 1).empty());
}

}  // namespace
