#include "ImageFiles.h"

#include <algorithm>
#include <vector>

namespace testing_support {
namespace {

constexpr std::uint8_t red = imageColour[0], green = imageColour[1], blue = imageColour[2];

void putLittle(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

void putBig(std::string& bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * (size - 1 - i)));
}

std::string repeated(std::initializer_list<std::uint8_t> unit, int times) {
    std::string bytes;
    for (int i = 0; i < times; ++i)
        bytes.append(unit.begin(), unit.end());
    return bytes;
}

// GIF's variable-length LZW codes for pixels all sent as single-pixel codes: a clear code first,
// then one code each, the code width growing as the decoder's table fills, then the end code.
std::string lzwCodes(int codeSize, const std::vector<int>& pixels) {
    const int clear = 1 << codeSize, end = clear + 1;
    int width = codeSize + 1, next = end + 1;
    std::vector<std::pair<int, int>> codes{{clear, width}};
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        codes.emplace_back(pixels[i], width);
        if (i > 0 && ++next == 1 << width && width < 12)
            ++width;
    }
    codes.emplace_back(end, width);
    std::string packed;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (const auto& [code, codeWidth] : codes) {
        buffer |= static_cast<std::uint32_t>(code) << bits;
        for (bits += codeWidth; bits >= 8; bits -= 8, buffer >>= 8)
            packed += static_cast<char>(buffer & 0xFF);
    }
    if (bits > 0)
        packed += static_cast<char>(buffer & 0xFF);
    return packed;
}

} // namespace

std::string gifFile() {
    std::string bytes = "GIF89a" + std::string(7, '\0');
    putLittle(bytes, 6, 2, 2);
    putLittle(bytes, 8, 2, 2);
    bytes[10] = static_cast<char>(0x80); // a global table of two colours
    bytes += std::string{
        static_cast<char>(red), static_cast<char>(green), static_cast<char>(blue), 0, 0, 0};
    std::string frame(10, '\0');
    frame[0] = 0x2C;
    putLittle(frame, 5, 2, 2);
    putLittle(frame, 7, 2, 2);
    const std::string data = lzwCodes(2, {0, 0, 0, 0});
    return bytes + frame + '\x02' + static_cast<char>(data.size()) + data + '\0' + ';';
}

std::string tiffFile() {
    // Header, then nine directory entries, the next directory's offset 0, the bits per sample
    // and the strip.
    constexpr std::size_t directory = 8, entries = 9;
    constexpr std::size_t bitsAt = directory + 2 + entries * 12 + 4, stripAt = bitsAt + 6;
    std::string bytes("II*\0", 4);
    bytes.resize(stripAt);
    putLittle(bytes, 4, directory, 4);
    putLittle(bytes, directory, entries, 2);
    constexpr std::uint32_t shortType = 3, longType = 4;
    const std::uint32_t fields[entries][4] = {
        {256, shortType, 1, 2}, {257, shortType, 1, 2}, {258, shortType, 3, bitsAt},
        {259, shortType, 1, 1}, {262, shortType, 1, 2}, {273, longType, 1, stripAt},
        {277, shortType, 1, 3}, {278, shortType, 1, 2}, {279, longType, 1, 12}};
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = directory + 2 + i * 12;
        putLittle(bytes, at, fields[i][0], 2);
        putLittle(bytes, at + 2, fields[i][1], 2);
        putLittle(bytes, at + 4, fields[i][2], 4);
        putLittle(bytes, at + 8, fields[i][3], fields[i][1] == shortType ? 2 : 4);
    }
    for (int sample = 0; sample < 3; ++sample)
        putLittle(bytes, bitsAt + 2 * sample, 8, 2);
    return bytes + repeated({red, green, blue}, 4);
}

std::string psdFile() {
    std::string bytes = "8BPS" + std::string(22, '\0');
    putBig(bytes, 4, 1, 2);                                    // version
    putBig(bytes, 12, 3, 2);                                   // channels
    putBig(bytes, 14, 2, 4);                                   // height
    putBig(bytes, 18, 2, 4);                                   // width
    putBig(bytes, 22, 8, 2);                                   // depth
    putBig(bytes, 24, 3, 2);                                   // RGB
    bytes += std::string(12, '\0') + std::string("\0\x01", 2); // empty sections; PackBits
    // Six rows (two a channel), each a literal of two bytes: three bytes counted.
    bytes += repeated({0, 3}, 6);
    for (std::uint8_t channel : {red, green, blue})
        bytes += repeated({1, channel, channel}, 2);
    return bytes;
}

std::string icoFile() {
    std::string bytes(6 + 16 + 40, '\0');
    putLittle(bytes, 2, 1, 2);   // an icon
    putLittle(bytes, 4, 1, 2);   // one image
    bytes[6] = bytes[7] = 2;     // 2 x 2
    putLittle(bytes, 10, 1, 2);  // planes
    putLittle(bytes, 12, 32, 2); // bits
    putLittle(bytes, 14, 40 + 16 + 8, 4);
    putLittle(bytes, 18, 22, 4); // offset
    putLittle(bytes, 22, 40, 4); // info header size
    putLittle(bytes, 26, 2, 4);  // width
    putLittle(bytes, 30, 4, 4);  // height of colour and mask rows together
    putLittle(bytes, 34, 1, 2);
    putLittle(bytes, 36, 32, 2);
    return bytes + repeated({blue, green, red, 255}, 4) + std::string(8, '\0');
}

std::string pnmFile() {
    return "P6\n# a comment\n2 2\n255\n" + repeated({red, green, blue}, 4);
}

std::string pcxFile() {
    std::string bytes(128, '\0');
    bytes[0] = 10;              // manufacturer
    bytes[1] = 5;               // version
    bytes[2] = 1;               // run-length encoding
    bytes[3] = 8;               // bits a pixel and plane
    putLittle(bytes, 8, 1, 2);  // x max
    putLittle(bytes, 10, 1, 2); // y max
    bytes[65] = 3;              // planes
    putLittle(bytes, 66, 2, 2); // bytes a plane row
    // Each row: each plane's two bytes, as runs of two (all three values are 0xC0 or more,
    // which a literal cannot hold).
    for (int row = 0; row < 2; ++row)
        for (std::uint8_t value : {red, green, blue})
            bytes += value >= 0xC0 ? std::string{'\xC2', static_cast<char>(value)}
                                   : std::string(2, static_cast<char>(value));
    return bytes;
}

std::string sgiFile() {
    std::string bytes(512, '\0');
    putBig(bytes, 0, 474, 2);
    bytes[2] = 1; // run-length
    bytes[3] = 1; // a byte a value
    putBig(bytes, 4, 3, 2);
    putBig(bytes, 6, 2, 2);
    putBig(bytes, 8, 2, 2);
    putBig(bytes, 10, 3, 2);
    putBig(bytes, 16, 255, 4); // largest value
    // Six rows (two a channel): offsets, lengths, then each row a run of two and the end.
    constexpr std::size_t rows = 6, rowBytes = 3, dataAt = 512 + 2 * rows * 4;
    bytes.resize(dataAt);
    const std::uint8_t channels[] = {red, green, blue};
    for (std::size_t row = 0; row < rows; ++row) {
        putBig(bytes, 512 + row * 4, static_cast<std::uint32_t>(dataAt + row * rowBytes), 4);
        putBig(bytes, 512 + rows * 4 + row * 4, rowBytes, 4);
    }
    for (std::size_t row = 0; row < rows; ++row)
        bytes += std::string{'\x02', static_cast<char>(channels[row / 2]), '\0'};
    return bytes;
}

std::string hdrFile() {
    // RGBE with exponent 128: the mantissas / 256 at full exposure; DevIL divides by 255.
    return "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 2\n" +
           repeated({red, green, blue, 128}, 4);
}

std::string ddsKindFile(std::uint32_t pixelFlags, const std::string& fourCc, std::uint32_t bitCount,
                        std::array<std::uint32_t, 4> masks, std::uint32_t width,
                        std::uint32_t height, std::uint32_t levels, std::uint32_t blockBytes) {
    std::string bytes = "DDS " + std::string(124, '\0');
    putLittle(bytes, 4, 124, 4);
    putLittle(bytes, 8, 0x1007 | (levels > 1 ? 0x20000 : 0), 4); // caps, size, pixel format
    putLittle(bytes, 12, height, 4);
    putLittle(bytes, 16, width, 4);
    putLittle(bytes, 28, levels, 4);
    putLittle(bytes, 76, 32, 4);
    putLittle(bytes, 80, pixelFlags, 4);
    bytes.replace(84, fourCc.size(), fourCc); // empty when not compressed
    putLittle(bytes, 88, bitCount, 4);
    for (std::size_t i = 0; i < masks.size(); ++i)
        putLittle(bytes, 92 + 4 * i, masks[i], 4);
    putLittle(bytes, 108, 0x1000, 4); // a texture
    for (std::uint32_t level = 0; level < levels; ++level) {
        const std::uint32_t w = std::max(width >> level, 1u), h = std::max(height >> level, 1u);
        const std::size_t size = blockBytes != 0
                                     ? std::size_t{(w + 3) / 4} * ((h + 3) / 4) * blockBytes
                                     : std::size_t{w} * h * (bitCount / 8);
        for (std::size_t i = 0; i < size; ++i)
            bytes += static_cast<char>(imageColour[i % 3]);
    }
    return bytes;
}

} // namespace testing_support
