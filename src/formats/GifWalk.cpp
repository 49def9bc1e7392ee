// GIF: a 13-byte header with the logical screen's size and the global colour table's, then
// blocks up to the trailer: extensions (0x21) of sub-blocks, and frames (0x2C) of a descriptor,
// a local colour table, the LZW code size and sub-blocks of image data. DevIL makes a picture
// of the logical screen for every frame and writes each frame's rows at its offset unchecked,
// so a frame reaching beyond the screen writes past the picture; a frame of no width or
// height divides by zero.
#include "formats/WalkSupport.h"

#include <array>

namespace formats {
namespace {

constexpr std::size_t headerBytes = 13;
constexpr std::size_t screenWidthOffset = 6;
constexpr std::size_t screenHeightOffset = 8;
constexpr std::size_t screenFlagsOffset = 10;
constexpr std::uint32_t colourTableFlag = 0x80;
constexpr std::uint32_t colourTableSizeBits = 0x07;
constexpr std::uint32_t colourEntryBytes = 3;
constexpr std::uint8_t extensionIntroducer = 0x21;
constexpr std::uint8_t frameSeparator = 0x2C;
constexpr std::uint8_t graphicControlLabel = 0xF9;
// DevIL reads a graphic control extension as six bytes, not as sub-blocks: its size, the
// packed flags, the delay, the transparent index and the terminator.
constexpr std::size_t graphicControlBytes = 6;
// After the separator: left, top, width, height (little-endian 16-bit) and the flags.
constexpr std::size_t descriptorBytes = 9;
constexpr std::size_t frameWidthOffset = 4;
constexpr std::size_t frameHeightOffset = 6;
constexpr std::size_t frameFlagsOffset = 8;
// The code sizes DevIL's decoder takes.
constexpr std::uint32_t smallestCodeSize = 2;
constexpr std::uint32_t largestCodeSize = 9;

std::uint64_t colourTableBytes(std::uint32_t flags) {
    return flags & colourTableFlag
               ? (std::uint64_t{2} << (flags & colourTableSizeBits)) * colourEntryBytes
               : 0;
}

// Moves `at` past sub-blocks up to their empty terminator; false when one passes the end.
bool skipSubBlocks(const Bytes& file, std::size_t& at) {
    while (file.holds(at, 1)) {
        const std::uint32_t size = file.u8(at++);
        if (size == 0)
            return true;
        if (!file.holds(at, size))
            return false;
        at += size;
    }
    return false;
}

// DevIL's LZW decoder trusts the codes: a pixel past the colour table is read past the palette
// when the picture is converted, a code not yet in the table follows entries it never wrote
// (whatever an earlier allocation left there), and data ending early is read on past its
// terminator, from what an earlier picture left in its buffer. Reads the codes as DevIL does
// (least significant bit first, across the sub-blocks, one bit more as the table fills) up to
// the end code or the frame's last pixel, counting the pixels each gives; the reason when one
// would be misread. `colours` is 0 without a colour table. Linear in the data's size.
constexpr std::uint32_t largestCodeBits = 12;
constexpr std::size_t tableEntries = std::size_t{1} << largestCodeBits;

const char* misreadCode(const Bytes& file, std::size_t at, std::uint32_t codeSize,
                        std::uint32_t colours, std::uint64_t pixels) {
    // No file trips the sanitizer's shift checks: codes are 3 to 12 bits, under 20 bits held.
    std::uint32_t blockLeft = 0, bits = 0, bitCount = 0, size = codeSize + 1;
    auto next = [&](std::uint32_t& code) {
        for (; bitCount < size; bitCount += 8, --blockLeft) {
            if (blockLeft == 0 && (blockLeft = file.u8(at++)) == 0)
                return false;
            bits |= file.u8(at++) << bitCount;
        }
        code = bits & ((1u << size) - 1);
        bits >>= size;
        bitCount -= size;
        return true;
    };
    constexpr const char* endsEarly = "GIF image data that ends before its frame";
    const std::uint32_t clear = 1u << codeSize, end = clear + 1;
    std::uint32_t slot = end + 1, top = 1u << size, previous = 0, code = 0;
    std::array<std::uint16_t, tableEntries> length; // each entry's pixels; literals 1
    length.fill(1);
    for (std::uint64_t produced = 0; produced < pixels; previous = code) {
        if (!next(code))
            return endsEarly;
        if (code == end)
            return nullptr;
        const bool cleared = code == clear;
        if (cleared) {
            size = codeSize + 1;
            slot = end + 1;
            top = 1u << size;
            while (code == clear)
                if (!next(code))
                    return endsEarly;
            if (code == end)
                return nullptr;
            code = code >= slot ? 0 : code; // as DevIL reads it
        } else if (code > slot) {
            return "a GIF code not yet in the table";
        }
        if (code < clear && colours != 0 && code >= colours)
            return "a GIF pixel past its colour table";
        if (cleared) {
            ++produced;
            continue;
        }
        // A code of the slot about to be made stands for the previous code's pixels and one.
        produced += code == slot ? length[previous] + 1u : length[code];
        if (slot < top)
            length[slot++] = static_cast<std::uint16_t>(length[previous] + 1);
        if (slot >= top && size < largestCodeBits) {
            top <<= 1;
            ++size;
        }
    }
    return nullptr;
}

} // namespace

bool walkGif(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes) ||
        !(file.startsWith(0, "GIF87a", 6) || file.startsWith(0, "GIF89a", 6) ||
          file.startsWith(0, "GIF87A", 6) || file.startsWith(0, "GIF89A", 6)))
        return refuse(check, "no GIF header");
    const std::uint32_t screenWidth = file.le16(screenWidthOffset);
    const std::uint32_t screenHeight = file.le16(screenHeightOffset);
    declareSize(check, screenWidth, screenHeight);
    const std::uint64_t screenPixels = check.totalPixels;
    std::size_t at = headerBytes;
    if (!file.holds(at, colourTableBytes(file.u8(screenFlagsOffset))))
        return refuse(check, "the GIF colour table reaches past the end of the file");
    at += colourTableBytes(file.u8(screenFlagsOffset));
    std::uint64_t frames = 0;
    while (file.holds(at, 1)) {
        const std::uint32_t introducer = file.u8(at++);
        if (introducer == extensionIntroducer) {
            const std::uint32_t label = file.u8(at++);
            if (label == graphicControlLabel) {
                at += graphicControlBytes;
                if (!file.holds(at, 0))
                    return refuse(check, "a GIF extension reaches past the end of the file");
            } else if (!skipSubBlocks(file, at)) {
                return refuse(check, "a GIF extension reaches past the end of the file");
            }
            continue;
        }
        if (introducer != frameSeparator)
            break; // the trailer, or anything DevIL takes for the end
        if (!file.holds(at, descriptorBytes))
            return refuse(check, "a GIF frame descriptor cut short");
        const std::uint32_t left = file.le16(at), top = file.le16(at + 2);
        const std::uint32_t width = file.le16(at + frameWidthOffset);
        const std::uint32_t height = file.le16(at + frameHeightOffset);
        const std::uint32_t flags = file.u8(at + frameFlagsOffset);
        if (width == 0 || height == 0 || left + width > screenWidth || top + height > screenHeight)
            return refuse(check, "a GIF frame reaches beyond the logical screen");
        at += descriptorBytes;
        if (!file.holds(at, colourTableBytes(flags) + 1))
            return refuse(check, "a GIF colour table reaches past the end of the file");
        at += colourTableBytes(flags);
        const std::uint32_t codeSize = file.u8(at++);
        if (codeSize < smallestCodeSize || codeSize > largestCodeSize)
            return refuse(check, "a GIF code size DevIL does not decode");
        const std::size_t data = at;
        if (!skipSubBlocks(file, at))
            return refuse(check, "GIF image data reaches past the end of the file");
        const std::uint32_t table = flags & colourTableFlag ? flags : file.u8(screenFlagsOffset);
        if (const char* misread =
                misreadCode(file, data, codeSize, colourTableBytes(table) / colourEntryBytes,
                            std::uint64_t{width} * height))
            return refuse(check, misread);
        ++frames;
    }
    if (frames == 0)
        return refuse(check, "a GIF file without a frame");
    check.totalPixels = frames * screenPixels;
    return true;
}

} // namespace formats
