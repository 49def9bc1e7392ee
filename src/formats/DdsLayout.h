#pragma once

// The DDS layout, for both readers of it: the game's own (DdsImage, for ".DDS" files) and the
// walk before DevIL (the other spellings). A 4-byte magic, a 124-byte header, then every mip
// level back to back; all integers little-endian.
#include <cstddef>
#include <cstdint>

namespace formats::dds {

constexpr std::size_t magicBytes = 4;
constexpr std::uint32_t headerBytes = 124;
constexpr std::size_t dataStart = magicBytes + headerBytes;
constexpr std::size_t headerSizeOffset = 4;
constexpr std::size_t flagsOffset = 8;
constexpr std::size_t heightOffset = 12;
constexpr std::size_t widthOffset = 16;
constexpr std::size_t linearSizeOffset = 20;
constexpr std::size_t depthOffset = 24;
constexpr std::size_t mipMapCountOffset = 28;
constexpr std::size_t pixelFormatSizeOffset = 76;
constexpr std::size_t pixelFlagsOffset = 80;
constexpr std::size_t fourCcOffset = 84;
constexpr std::size_t bitCountOffset = 88;
constexpr std::size_t caps1Offset = 108;
constexpr std::size_t caps2Offset = 112;
// Compressed formats store blocks of 4 x 4 pixels; partial blocks round up.
constexpr std::uint64_t blockEdge = 4;

// A pixel format's four-letter code as the file stores it.
constexpr std::uint32_t fourCc(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(text[3])) << 24;
}

} // namespace formats::dds
