#pragma once

// Small picture files of every format the game hands to DevIL, written after each format's own
// specification: 2 x 2 pixels of one colour, imageColour, unless said otherwise.
#include <array>
#include <cstdint>
#include <string>

namespace testing_support {

constexpr std::array<std::uint8_t, 3> imageColour{204, 102, 51};

std::string gifFile();  // one frame, LZW-coded, a global palette
std::string tiffFile(); // little-endian, 8-bit RGB, one strip
std::string psdFile();  // 8-bit RGB, PackBits rows
std::string icoFile();  // one 32-bit BGRA image with its mask
std::string pnmFile();  // binary PPM
std::string pcxFile();  // 8-bit, three planes
std::string sgiFile();  // run-length, three channels
std::string hdrFile();  // flat RGBE scanlines; the colour at full exposure

// A DDS file of one kind: pixel-format flags, FourCC, bits a pixel and the red, green, blue and
// alpha masks, with `levels` levels of a w x h picture. Blocks of `blockBytes` when compressed.
std::string ddsKindFile(std::uint32_t pixelFlags, const std::string& fourCc, std::uint32_t bitCount,
                        std::array<std::uint32_t, 4> masks, std::uint32_t width,
                        std::uint32_t height, std::uint32_t levels, std::uint32_t blockBytes);

} // namespace testing_support
