#pragma once

#include "Image.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace resgen {

// DXT1-compressed DDS with the full mip chain down to 1 x 1, levels back to back after the
// 128-byte header, as the game's DDS reader uploads them. Each level is the box-filtered half
// of the one before, compressed by stb_dxt.
class DdsWriter {
public:
    static std::vector<std::uint8_t> encode(const Image& image);
    static bool write(const std::filesystem::path& path, const Image& image);
};

} // namespace resgen
