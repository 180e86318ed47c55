#pragma once
// A minimal PNG encoder: 8-bit RGB, no interlace, one deflate stream.
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

// `rgb` holds height rows of width * 3 bytes, top row first. Empty on a size
// that does not match or a compression failure.
std::string EncodePng(const std::vector<std::uint8_t>& rgb, std::uint32_t width,
                      std::uint32_t height);

}  // namespace ui
