// BMP: "BM", a 14-byte file header with the pixels' offset, then an info header whose own size
// tells its kind: the OS/2 one (12 bytes) has 16-bit sizes, every later one signed 32-bit sizes
// (a negative height means rows stored top down). DevIL allocates the palette it is told of and
// the whole picture before reading a byte of either.
#include "formats/WalkSupport.h"

#include <algorithm>
#include <array>

namespace formats {
namespace {

constexpr std::size_t fileHeaderBytes = 14;
constexpr std::size_t pixelOffsetOffset = 10;
constexpr std::size_t infoSizeOffset = 14;
constexpr std::size_t widthOffset = 18;
constexpr std::size_t coreHeightOffset = 20;
constexpr std::size_t coreBitCountOffset = 24;
constexpr std::size_t heightOffset = 22;
constexpr std::size_t bitCountOffset = 28;
constexpr std::size_t compressionOffset = 30;
constexpr std::size_t coloursUsedOffset = 46;
// OS/2, Windows 3, the two with colour masks, OS/2 2, Windows 4 and 5.
constexpr std::array<std::uint32_t, 7> infoSizes{12, 40, 52, 56, 64, 108, 124};
constexpr std::uint32_t coreInfoBytes = 12;
constexpr std::uint32_t windows3InfoBytes = 40;
constexpr std::uint32_t uncompressed = 0, runLength8 = 1, runLength4 = 2, bitFields = 3;
// A Windows 3 header with bit fields keeps its three colour masks after it.
constexpr std::uint32_t maskBytes = 12;
constexpr std::uint32_t corePaletteEntryBytes = 3;
constexpr std::uint32_t paletteEntryBytes = 4;
constexpr std::uint32_t largestPaletteBits = 8;
constexpr std::uint32_t rowAlignmentBits = 32;

// The size of a signed 32-bit field, whichever its sign.
std::uint32_t magnitude(std::uint32_t twosComplement) {
    return twosComplement & 0x80000000u ? 0u - twosComplement : twosComplement;
}

// DevIL leaves the pixels a run-length picture skips (by a delta or an early end of a line or of
// the picture) as its memory held them, and converting the picture reads the palette at those
// values; a colour past the palette is read past it the same way. So every pixel must be
// written, each with a colour the palette has. Runs are counted inside their row only.
const char* runsMisread(const Bytes& file, std::size_t at, std::uint64_t width,
                        std::uint64_t height, bool fourBits, std::uint64_t colours) {
    constexpr std::uint32_t escape = 0, endOfLine = 0, endOfPicture = 1, delta = 2;
    std::uint64_t x = 0, y = 0, written = 0;
    auto pixels = [&](std::uint64_t count, std::size_t from, bool repeated) {
        // A repeated run's colours are its byte's: looked at once, so the walk stays linear.
        for (std::uint64_t i = 0; i < (repeated ? std::min<std::uint64_t>(count, 2) : count); ++i) {
            // fourBits is an argument: no file fires the sanitizer's checks of a bool on it.
            const std::uint32_t byte = file.u8(from + (repeated ? 0 : fourBits ? i / 2 : i));
            if ((fourBits ? (i % 2 == 0 ? byte >> 4 : byte & 0xF) : byte) >= colours)
                return false;
        }
        written += x < width ? std::min(count, width - x) : 0;
        x += count;
        return true;
    };
    while (y < height && file.holds(at, 2)) {
        const std::uint32_t count = file.u8(at), value = file.u8(at + 1);
        at += 2;
        if (count != escape) {
            if (!pixels(count, at - 1, true))
                return "a BMP pixel past its palette";
        } else if (value == endOfLine) {
            x = 0;
            ++y;
        } else if (value == endOfPicture) {
            break;
        } else if (value == delta) {
            x += file.u8(at);
            y += file.u8(at + 1);
            at += 2;
        } else {
            if (!pixels(value, at, false))
                return "a BMP pixel past its palette";
            // No file fires the sanitizer's check of fourBits, a bool argument, here either.
            const std::uint64_t bytes = fourBits ? (value + 1) / 2 : value;
            at += bytes + bytes % 2;
        }
    }
    return written < width * height ? "a run-length BMP leaving pixels unwritten" : nullptr;
}

} // namespace

bool walkBmp(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, fileHeaderBytes + 4) || !file.startsWith(0, "BM", 2))
        return refuse(check, "no BMP header");
    const std::uint32_t infoBytes = file.le32(infoSizeOffset);
    const bool core = infoBytes == coreInfoBytes;
    if (core ? !file.holds(0, coreHeightOffset + 2) : !file.holds(0, heightOffset + 4))
        return refuse(check, "a BMP header cut short");
    std::uint64_t width = core ? file.le16(widthOffset) : magnitude(file.le32(widthOffset));
    std::uint64_t height = core ? file.le16(coreHeightOffset) : magnitude(file.le32(heightOffset));
    declareSize(check, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (std::find(infoSizes.begin(), infoSizes.end(), infoBytes) == infoSizes.end() ||
        !file.holds(fileHeaderBytes, infoBytes))
        return refuse(check, "an unknown BMP info header, or one past the end");
    const std::uint32_t bits = core ? file.le16(coreBitCountOffset) : file.le16(bitCountOffset);
    const std::uint32_t compression = core ? uncompressed : file.le32(compressionOffset);
    std::uint64_t colours = core ? 0 : file.le32(coloursUsedOffset);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return refuse(check, "a BMP bit depth DevIL does not read");
    std::uint64_t paletteStart = fileHeaderBytes + infoBytes;
    if (compression == bitFields && infoBytes == windows3InfoBytes)
        paletteStart += maskBytes;
    // A palette image lists all 2^bits colours when it says 0; more are read and go unused.
    // A true-colour one may list some all the same, which DevIL reads too.
    if (bits <= largestPaletteBits && colours == 0)
        colours = std::uint64_t{1} << bits;
    const std::uint64_t paletteBytes = colours * (core ? corePaletteEntryBytes : paletteEntryBytes);
    const std::uint64_t pixelsStart = file.le32(pixelOffsetOffset);
    if (!file.holds(paletteStart, paletteBytes) || pixelsStart > file.size())
        return refuse(check, "the BMP palette reaches past the end of the file");
    const std::uint64_t rowBytes =
        (width * bits + rowAlignmentBits - 1) / rowAlignmentBits * (rowAlignmentBits / 8);
    const bool pixelsInside = file.holds(pixelsStart, rowBytes * height);
    // Each compression goes with its own pixel sizes; DevIL's run-length decoders stop at the
    // end of the picture or the file.
    switch (compression) {
    case uncompressed:
        return pixelsInside ? true : refuse(check, "the BMP pixels reach past the end of the file");
    case bitFields:
        return (bits == 16 || bits == 32) && pixelsInside
                   ? true
                   : refuse(check, "BMP colour masks without their pixels");
    case runLength8:
    case runLength4:
        if (bits != (compression == runLength8 ? 8u : 4u) || pixelsStart >= file.size())
            return refuse(check, "BMP run-length data without its pixels");
        if (const char* misread =
                runsMisread(file, pixelsStart, width, height, compression == runLength4, colours))
            return refuse(check, misread);
        return true;
    default:
        return refuse(check, "a BMP compression DevIL does not read");
    }
}

} // namespace formats
