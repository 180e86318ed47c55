#include "ui/PngWriter.h"

#include <zlib.h>

namespace ui {
namespace {

void PutBigEndian(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>((value >> 24) & 0xFF));
    out.push_back(static_cast<char>((value >> 16) & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

void PutChunk(std::string& out, const char (&type)[5], const std::string& data) {
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string body(type, 4);
    body += data;
    out += body;
    uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    PutBigEndian(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::string EncodePng(const std::vector<std::uint8_t>& rgb, std::uint32_t width,
                      std::uint32_t height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    if (width == 0 || height == 0 || rgb.size() != stride * height)
        return {};
    // Each row starts with its filter type; 0 keeps the bytes as they are.
    std::vector<Bytef> raw;
    raw.reserve((stride + 1) * height);
    for (std::uint32_t row = 0; row < height; ++row) {
        raw.push_back(0);
        auto begin = rgb.begin() + static_cast<std::ptrdiff_t>(row * stride);
        raw.insert(raw.end(), begin, begin + static_cast<std::ptrdiff_t>(stride));
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, raw.data(),
                  static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    packed.resize(packedSize);

    std::string header;
    PutBigEndian(header, width);
    PutBigEndian(header, height);
    header +=
        std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace ui
