#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A DDS file parsed into its compressed mip levels, without touching OpenGL, so that the
// parsing of untrusted bytes can be tested and fuzzed on its own.
//
// Only levels whose bytes lie completely inside the data that the file actually holds are
// listed; parsing stops at the first level that does not. Header values never cause an
// allocation or a read beyond the input.
struct DdsLevel {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t offset = 0; // into DdsImage::data
    std::size_t size = 0;
};

struct DdsImage {
    std::uint32_t glFormat = 0; // 0 when the FourCC is not DXT1, DXT3 or DXT5
    std::uint32_t mipMapCount = 0;
    std::vector<std::uint8_t> data;
    std::vector<DdsLevel> levels;

    // bytes: the whole file, magic included. Returns false when the header is incomplete or
    // the FourCC is unsupported.
    static bool parse(const std::uint8_t* bytes, std::size_t length, DdsImage& out);
};
