#include "formats/DdsImage.h"

#include "formats/DdsLayout.h"
#include "formats/WalkSupport.h"

#include <algorithm>

namespace {

using namespace formats::dds;

constexpr std::uint32_t fourCcDxt1 = fourCc("DXT1");
constexpr std::uint32_t fourCcDxt3 = fourCc("DXT3");
constexpr std::uint32_t fourCcDxt5 = fourCc("DXT5");

// The S3TC enumerants, spelt out so that this file needs no OpenGL header.
constexpr std::uint32_t glCompressedRgbaDxt1 = 0x83F1;
constexpr std::uint32_t glCompressedRgbaDxt3 = 0x83F2;
constexpr std::uint32_t glCompressedRgbaDxt5 = 0x83F3;

constexpr std::uint64_t dxt1BlockBytes = 8;
constexpr std::uint64_t dxt3Dxt5BlockBytes = 16;

std::uint32_t formatOf(std::uint32_t code) {
    switch (code) {
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

    const formats::Bytes file(bytes, length);
    const std::uint32_t height = file.le32(heightOffset);
    const std::uint32_t width = file.le32(widthOffset);
    const std::uint32_t linearSize = file.le32(linearSizeOffset);
    out.mipMapCount = file.le32(mipMapCountOffset);
    out.glFormat = formatOf(file.le32(fourCcOffset));
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
        const std::uint64_t blocks = (w + blockEdge - 1) / blockEdge *
                                     ((h + blockEdge - 1) / blockEdge);
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
