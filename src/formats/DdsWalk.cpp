// DDS named otherwise than ".DDS", which DevIL decodes: the magic and a 124-byte header, then
// the levels back to back. DevIL allocates and reads as many bytes for level 0 as the header's
// linear size says (when its flags say there is one), then decodes a whole picture's blocks or
// pixels from them whatever their number: level 0 must hold the picture, and every declared
// level must lie inside the file.
#include "formats/DdsLayout.h"
#include "formats/WalkSupport.h"

#include <algorithm>

namespace formats {
namespace {

using namespace dds;

constexpr std::uint32_t pixelFormatBytes = 32;
// Some tools write the magic again in place of the header size; DevIL takes it.
constexpr std::uint32_t magicAsHeaderSize = 0x20534444;
constexpr std::uint32_t pitchFlag = 0x8;
constexpr std::uint32_t mipMapCountFlag = 0x20000;
constexpr std::uint32_t linearSizeFlag = 0x80000;
constexpr std::uint32_t fourCcFlag = 0x4;
constexpr std::uint32_t complexCaps = 0x8;
constexpr std::uint32_t cubeMapCaps = 0x200;
constexpr std::uint32_t volumeCaps = 0x200000;
// More levels than this cannot exist: a 32-bit edge halves to one pixel in 32 steps, and
// DevIL goes on with 1 x 1 levels as long as the count says.
constexpr std::uint32_t mostLevels = 33;

// Bytes of one 4 x 4 block for the compressed formats DevIL decodes, 0 for others. DXT4 is
// left out: DevIL decodes it and then reports failure.
std::uint64_t blockBytes(std::uint32_t code) {
    if (code == fourCc("DXT1") || code == fourCc("ATI1"))
        return 8;
    if (code == fourCc("DXT2") || code == fourCc("DXT3") || code == fourCc("DXT5") ||
        code == fourCc("ATI2") || code == fourCc("RXGB"))
        return 16;
    return 0;
}

} // namespace

bool walkDds(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, dataStart) || !file.startsWith(0, "DDS ", 4))
        return refuse(check, "no DDS header");
    std::uint32_t width = file.le32(widthOffset);
    std::uint32_t height = file.le32(heightOffset);
    declareSize(check, width, height);
    const std::uint32_t headerSize = file.le32(headerSizeOffset);
    if ((headerSize != headerBytes && headerSize != magicAsHeaderSize) ||
        file.le32(pixelFormatSizeOffset) != pixelFormatBytes || width == 0 || height == 0)
        return refuse(check, "a DDS header DevIL does not take");
    if ((file.le32(caps1Offset) & complexCaps && file.le32(caps2Offset) & cubeMapCaps) ||
        (file.le32(depthOffset) > 1 && file.le32(caps2Offset) & volumeCaps))
        return refuse(check, "a DDS cube map or volume, which a 2D texture cannot hold");
    // A mask test: where it is read below, no file fires the sanitizer's checks of a bool.
    const bool compressed = file.le32(pixelFlagsOffset) & fourCcFlag;
    const std::uint64_t block = blockBytes(file.le32(fourCcOffset));
    const std::uint64_t pixelBytes = file.le32(bitCountOffset) / 8;
    if (compressed ? block == 0 : pixelBytes == 0 || pixelBytes > 4)
        return refuse(check, "a DDS pixel format DevIL does not decode");
    auto levelBytes = [&](std::uint64_t w, std::uint64_t h) {
        return compressed
                   ? (w + blockEdge - 1) / blockEdge * ((h + blockEdge - 1) / blockEdge) * block
                   : w * h * pixelBytes;
    };
    // Level 0 as DevIL reads it: the declared linear size, unless the flags name none or it
    // is 0; rows of the pitch it works out itself when only a pitch is flagged.
    const std::uint32_t flags = file.le32(flagsOffset);
    const std::uint64_t linearSize = file.le32(linearSizeOffset);
    std::uint64_t firstLevel = levelBytes(width, height);
    if (flags & linearSizeFlag && linearSize != 0 && file.le32(depthOffset) <= 1) {
        if (linearSize < firstLevel)
            return refuse(check, "a DDS linear size smaller than its first level");
        firstLevel = linearSize;
    } else if (flags & pitchFlag && linearSize != 0 && compressed) {
        return refuse(check, "a compressed DDS with a pitch, which DevIL reads as no data");
    }
    std::uint32_t levels = file.le32(mipMapCountOffset);
    if (!(flags & mipMapCountFlag) || levels == 0)
        levels = 1;
    if (levels > mostLevels)
        return refuse(check, "more DDS levels than any picture has");
    std::uint64_t dataBytes = firstLevel;
    for (std::uint32_t level = 1; level < levels; ++level) {
        width = std::max<std::uint32_t>(width / 2, 1);
        height = std::max<std::uint32_t>(height / 2, 1);
        dataBytes += levelBytes(width, height);
    }
    return file.holds(dataStart, dataBytes)
               ? true
               : refuse(check, "the DDS levels reach past the end of the file");
}

} // namespace formats
