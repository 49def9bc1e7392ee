#include "DdsWriter.h"

#include <algorithm>
#include <cassert>
#include <cstring> // stb_dxt uses memcpy and memset
#include <fstream>
#include <iostream>

#define STB_DXT_IMPLEMENTATION
#define STB_DXT_STATIC
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_dxt.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace resgen {

namespace {

constexpr std::uint32_t ddsMagic = 0x20534444; // "DDS "
constexpr std::uint32_t headerSize = 124;
constexpr std::uint32_t pixelFormatSize = 32;
// Header flags: caps, height, width, pixel format, mip-map count, linear size.
constexpr std::uint32_t headerFlags = 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000;
constexpr std::uint32_t fourCcFlag = 0x4;
constexpr std::uint32_t fourCcDxt1 = 0x31545844; // "DXT1"
// Caps: texture, mip-map, complex.
constexpr std::uint32_t capsFlags = 0x1000 | 0x400000 | 0x8;
constexpr std::size_t dxt1BlockBytes = 8;

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::size_t levelBytes(int width, int height) {
    return static_cast<std::size_t>((width + 3) / 4) * static_cast<std::size_t>((height + 3) / 4) *
           dxt1BlockBytes;
}

void compressLevel(const Image& level, std::vector<std::uint8_t>& out) {
    const std::vector<std::uint8_t> rgba = level.toBytes(4);
    const int w = level.width(), h = level.height();
    for (int by = 0; by < h; by += 4) {
        for (int bx = 0; bx < w; bx += 4) {
            // Blocks that stick out of a small level repeat its edge pixels.
            unsigned char block[64];
            for (int y = 0; y < 4; ++y) {
                for (int x = 0; x < 4; ++x) {
                    const int sx = std::min(bx + x, w - 1), sy = std::min(by + y, h - 1);
                    for (int c = 0; c < 4; ++c)
                        block[(y * 4 + x) * 4 + c] =
                            rgba[(static_cast<std::size_t>(sy) * w + sx) * 4 +
                                 static_cast<std::size_t>(c)];
                }
            }
            unsigned char compressed[dxt1BlockBytes];
            stb_compress_dxt_block(compressed, block, 0, STB_DXT_HIGHQUAL);
            out.insert(out.end(), compressed, compressed + dxt1BlockBytes);
        }
    }
}

} // namespace

std::vector<std::uint8_t> DdsWriter::encode(const Image& image) {
    const int width = image.width(), height = image.height();
    std::uint32_t levels = 1;
    for (int size = std::max(width, height); size > 1; size /= 2)
        ++levels;

    std::vector<std::uint8_t> out;
    out.reserve(4 + headerSize + 2 * levelBytes(width, height));
    put32(out, ddsMagic);
    put32(out, headerSize);
    put32(out, headerFlags);
    put32(out, static_cast<std::uint32_t>(height));
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(levelBytes(width, height)));
    put32(out, 0); // depth
    put32(out, levels);
    for (int i = 0; i < 11; ++i)
        put32(out, 0); // reserved
    put32(out, pixelFormatSize);
    put32(out, fourCcFlag);
    put32(out, fourCcDxt1);
    for (int i = 0; i < 5; ++i)
        put32(out, 0); // bit count and masks
    put32(out, capsFlags);
    for (int i = 0; i < 4; ++i)
        put32(out, 0); // caps2 to caps4, reserved
    assert(out.size() == 4 + headerSize && "the DDS header is 124 bytes after the magic");

    Image level = image;
    for (std::uint32_t i = 0; i < levels; ++i) {
        compressLevel(level, out);
        level = level.halved();
    }
    return out;
}

bool DdsWriter::write(const std::filesystem::path& path, const Image& image) {
    const std::vector<std::uint8_t> bytes = encode(image);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        std::cerr << "resgen: could not write " << path.string() << std::endl;
        return false;
    }
    return true;
}

} // namespace resgen
