#include "formats/DdsImage.h"

#include <algorithm>

namespace {

// Layout of the part of a DDS file that we use: a 4-byte magic, a 124-byte header, then every
// mip level back to back. All integers are little-endian.
constexpr std::size_t magicBytes = 4;
constexpr std::size_t headerBytes = 124;
constexpr std::size_t dataStart = magicBytes + headerBytes;
constexpr std::size_t heightOffset = 12;
constexpr std::size_t widthOffset = 16;
constexpr std::size_t linearSizeOffset = 20;
constexpr std::size_t mipMapCountOffset = 28;
constexpr std::size_t fourCcOffset = 84;

constexpr std::uint32_t fourCcDxt1 = 0x31545844; // "DXT1"
constexpr std::uint32_t fourCcDxt3 = 0x33545844; // "DXT3"
constexpr std::uint32_t fourCcDxt5 = 0x35545844; // "DXT5"

// The S3TC enumerants, spelt out so that this file needs no OpenGL header.
constexpr std::uint32_t glCompressedRgbaDxt1 = 0x83F1;
constexpr std::uint32_t glCompressedRgbaDxt3 = 0x83F2;
constexpr std::uint32_t glCompressedRgbaDxt5 = 0x83F3;

constexpr std::uint64_t dxt1BlockBytes = 8;
constexpr std::uint64_t dxt3Dxt5BlockBytes = 16;
constexpr std::uint64_t blockEdgePixels = 4;

std::uint32_t readLittleEndian32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint32_t formatOf(std::uint32_t fourCc) {
    switch (fourCc) {
    case fourCcDxt1:
        return glCompressedRgbaDxt1;
    case fourCcDxt3:
        return glCompressedRgbaDxt3;
    case fourCcDxt5:
        return glCompressedRgbaDxt5;
    default:
        return 0;
    }
}

} // namespace

bool DdsImage::parse(const std::uint8_t* bytes, std::size_t length, DdsImage& out) {
    out = DdsImage{};
    if (bytes == nullptr || length < dataStart)
        return false;

    const std::uint32_t height = readLittleEndian32(bytes + heightOffset);
    const std::uint32_t width = readLittleEndian32(bytes + widthOffset);
    const std::uint32_t linearSize = readLittleEndian32(bytes + linearSizeOffset);
    out.mipMapCount = readLittleEndian32(bytes + mipMapCountOffset);
    out.glFormat = formatOf(readLittleEndian32(bytes + fourCcOffset));
    if (out.glFormat == 0)
        return false;

    // Writers store twice the first level's size for a mip chain: the whole chain of a square
    // texture fits in that. The data actually taken is whatever of it the file holds, so a
    // lying header can never make us allocate or read more than the file.
    const std::uint64_t announced =
        out.mipMapCount > 1 ? 2 * static_cast<std::uint64_t>(linearSize) : linearSize;
    const std::size_t available = length - dataStart;
    const std::size_t taken =
        static_cast<std::size_t>(std::min<std::uint64_t>(announced, available));
    out.data.assign(bytes + dataStart, bytes + dataStart + taken);

    const std::uint64_t blockBytes =
        out.glFormat == glCompressedRgbaDxt1 ? dxt1BlockBytes : dxt3Dxt5BlockBytes;
    std::uint64_t offset = 0;
    std::uint32_t w = width;
    std::uint32_t h = height;
    for (std::uint32_t level = 0; level < out.mipMapCount && !(w == 0 && h == 0); ++level) {
        // At most 2^30 blocks per row and column: the product fits, the byte size might not,
        // so the comparison is made in blocks.
        const std::uint64_t blocks = (w + blockEdgePixels - 1) / blockEdgePixels *
                                     ((h + blockEdgePixels - 1) / blockEdgePixels);
        // A level cut short would hand the driver bytes we never read; it and every level
        // after it are left out.
        if (blocks > (out.data.size() - offset) / blockBytes)
            break;
        const std::uint64_t size = blocks * blockBytes;
        out.levels.push_back(
            DdsLevel{w, h, static_cast<std::size_t>(offset), static_cast<std::size_t>(size)});
        offset += size;
        w = std::max<std::uint32_t>(w / 2, 1);
        h = std::max<std::uint32_t>(h / 2, 1);
    }
    return true;
}
