#include "render/ImageHeader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace {

// PNG: the 8-byte signature, then the IHDR chunk whose data starts with width and height,
// big-endian.
constexpr std::array<std::uint8_t, 8> pngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t pngChunkTypeOffset = 12;
constexpr std::size_t pngWidthOffset = 16;
constexpr std::size_t pngHeightOffset = 20;

// TGA: an 18-byte header with 16-bit little-endian width and height.
constexpr std::size_t tgaHeaderBytes = 18;
constexpr std::size_t tgaWidthOffset = 12;
constexpr std::size_t tgaHeightOffset = 14;
// A colour-mapped TGA (types 1 and 9, or any with the map flag) stores its map uncompressed
// after the header and the image ID.
constexpr std::size_t tgaIdLengthOffset = 0;
constexpr std::size_t tgaMapTypeOffset = 1;
constexpr std::size_t tgaImageTypeOffset = 2;
constexpr std::size_t tgaMapLengthOffset = 5;
constexpr std::size_t tgaMapEntryBitsOffset = 7;
constexpr std::uint8_t tgaMapped = 1;
constexpr std::uint8_t tgaMappedRunLength = 9;
// DevIL reads the map's length as a signed 16-bit number.
constexpr std::uint32_t tgaLargestMap = 0x7FFF;

// BMP: "BM", the file header, then an info header whose own size tells its kind: the old OS/2
// header (12 bytes) has 16-bit sizes, every later one signed 32-bit sizes (a negative height
// means rows stored top down).
constexpr std::size_t bmpInfoSizeOffset = 14;
constexpr std::size_t bmpWidthOffset = 18;
constexpr std::size_t bmpCoreHeightOffset = 20;
constexpr std::size_t bmpHeightOffset = 22;
constexpr std::uint32_t bmpCoreInfoBytes = 12;
// A palette image (at most 8 bits per pixel) lists at most 2^bits colours; the count sits in
// every info header but the OS/2 one, 0 meaning all of them.
constexpr std::size_t bmpBitCountOffset = 28;
constexpr std::size_t bmpColoursUsedOffset = 46;
constexpr std::uint32_t bmpLargestPaletteBits = 8;

// JPEG: segments of a 0xFF marker byte and a big-endian length counting itself, until a
// start-of-frame segment, which holds precision, height and width.
constexpr std::uint8_t jpegMarkerByte = 0xFF;
constexpr std::uint8_t jpegStartOfImage = 0xD8;
constexpr std::uint8_t jpegStartOfScan = 0xDA;
constexpr std::uint8_t jpegEndOfImage = 0xD9;
constexpr std::uint8_t jpegTemporary = 0x01;
constexpr std::uint8_t jpegFirstRestart = 0xD0;
constexpr std::uint8_t jpegLastRestart = 0xD7;
constexpr std::uint8_t jpegFirstFrame = 0xC0;
constexpr std::uint8_t jpegLastFrame = 0xCF;
constexpr std::uint8_t jpegHuffmanTable = 0xC4;
constexpr std::uint8_t jpegExtension = 0xC8;
constexpr std::uint8_t jpegArithmeticTable = 0xCC;
constexpr std::size_t jpegFrameHeightOffset = 3; // after length and precision
constexpr std::size_t jpegFrameWidthOffset = 5;
constexpr std::size_t jpegMinimumSegment = 2;

// ---------------------------------------------------------------------------------------------
// Formats and byte order

enum class Format { Other, Png, Tga, Bmp, Jpeg };

// The extensions DevIL gives to these decoders.
Format formatOf(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return Format::Other;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "png")
        return Format::Png;
    if (extension == "tga" || extension == "vda" || extension == "icb" || extension == "vst")
        return Format::Tga;
    if (extension == "bmp" || extension == "dib")
        return Format::Bmp;
    if (extension == "jpg" || extension == "jpe" || extension == "jpeg" || extension == "jif" ||
        extension == "jfif")
        return Format::Jpeg;
    return Format::Other;
}

std::uint32_t bigEndian16(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) << 8 | at[1];
}

std::uint32_t bigEndian32(const std::uint8_t* at) {
    return bigEndian16(at) << 16 | bigEndian16(at + 2);
}

std::uint32_t littleEndian16(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[1]) << 8 | at[0];
}

std::uint32_t littleEndian32(const std::uint8_t* at) {
    return littleEndian16(at + 2) << 16 | littleEndian16(at);
}

// The size of a signed 32-bit field, whichever its sign.
std::uint32_t magnitude(std::uint32_t twosComplement) {
    return twosComplement & 0x80000000u ? 0u - twosComplement : twosComplement;
}

// ---------------------------------------------------------------------------------------------
// Declared sizes

bool readPng(const std::uint8_t* bytes, std::size_t length, ImageHeader& out) {
    if (length < pngHeightOffset + 4 ||
        !std::equal(pngSignature.begin(), pngSignature.end(), bytes) ||
        std::memcmp(bytes + pngChunkTypeOffset, "IHDR", 4) != 0)
        return false;
    out.width = bigEndian32(bytes + pngWidthOffset);
    out.height = bigEndian32(bytes + pngHeightOffset);
    return true;
}

bool readTga(const std::uint8_t* bytes, std::size_t length, ImageHeader& out) {
    if (length < tgaHeaderBytes)
        return false;
    out.width = littleEndian16(bytes + tgaWidthOffset);
    out.height = littleEndian16(bytes + tgaHeightOffset);
    return true;
}

bool readBmp(const std::uint8_t* bytes, std::size_t length, ImageHeader& out) {
    if (length < bmpInfoSizeOffset + 4 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    if (littleEndian32(bytes + bmpInfoSizeOffset) == bmpCoreInfoBytes) {
        if (length < bmpCoreHeightOffset + 2)
            return false;
        out.width = littleEndian16(bytes + bmpWidthOffset);
        out.height = littleEndian16(bytes + bmpCoreHeightOffset);
        return true;
    }
    if (length < bmpHeightOffset + 4)
        return false;
    out.width = magnitude(littleEndian32(bytes + bmpWidthOffset));
    out.height = magnitude(littleEndian32(bytes + bmpHeightOffset));
    return true;
}

bool isFrameMarker(std::uint8_t marker) {
    return marker >= jpegFirstFrame && marker <= jpegLastFrame && marker != jpegHuffmanTable &&
           marker != jpegExtension && marker != jpegArithmeticTable;
}

bool isRestartMarker(std::uint8_t marker) {
    return marker >= jpegFirstRestart && marker <= jpegLastRestart;
}

bool startsJpeg(const std::uint8_t* bytes, std::size_t length) {
    return length >= 2 && bytes[0] == jpegMarkerByte && bytes[1] == jpegStartOfImage;
}

// Reads the marker at `at`, after any fill bytes, and moves past it. False when no marker
// stands there.
bool readJpegMarker(const std::uint8_t* bytes, std::size_t length, std::size_t& at,
                    std::uint8_t& marker) {
    if (bytes[at] != jpegMarkerByte)
        return false;
    while (at < length && bytes[at] == jpegMarkerByte)
        ++at; // fill bytes
    if (at >= length)
        return false;
    marker = bytes[at++];
    return true;
}

bool readJpeg(const std::uint8_t* bytes, std::size_t length, ImageHeader& out) {
    if (!startsJpeg(bytes, length))
        return false;
    std::size_t at = 2;
    while (at < length) {
        std::uint8_t marker = 0;
        if (!readJpegMarker(bytes, length, at, marker))
            return false;
        if (marker == jpegTemporary || isRestartMarker(marker))
            continue; // markers without a segment
        if (marker == jpegStartOfScan || marker == jpegEndOfImage || length - at < 2)
            return false;
        const std::size_t segment = bigEndian16(bytes + at);
        if (segment < jpegMinimumSegment)
            return false;
        if (isFrameMarker(marker)) {
            if (length - at < jpegFrameWidthOffset + 2)
                return false;
            out.height = bigEndian16(bytes + at + jpegFrameHeightOffset);
            out.width = bigEndian16(bytes + at + jpegFrameWidthOffset);
            return true;
        }
        if (length - at < segment)
            return false;
        at += segment;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Structures DevIL does not come back from

// Skips entropy-coded data: every 0xFF in it is followed by a stuffed zero or is a restart
// marker; the first other marker ends the scan. Returns where that marker starts, or the
// length when the data runs out first.
std::size_t endOfScan(const std::uint8_t* bytes, std::size_t length, std::size_t at) {
    while (at < length) {
        if (bytes[at] != jpegMarkerByte) {
            ++at;
            continue;
        }
        if (length - at < 2)
            return length;
        const std::uint8_t next = bytes[at + 1];
        if (next == 0x00 || isRestartMarker(next))
            at += 2;
        else if (next == jpegMarkerByte)
            ++at; // fill byte before a marker
        else
            return at;
    }
    return length;
}

// Walks the whole file from its start to its end marker.
bool jpegComplete(const std::uint8_t* bytes, std::size_t length) {
    if (!startsJpeg(bytes, length))
        return false;
    std::size_t at = 2;
    while (at < length) {
        std::uint8_t marker = 0;
        if (!readJpegMarker(bytes, length, at, marker))
            return false;
        if (marker == jpegEndOfImage)
            return true;
        if (marker == jpegTemporary || isRestartMarker(marker))
            continue;
        if (length - at < 2)
            return false;
        const std::size_t segment = bigEndian16(bytes + at);
        if (segment < jpegMinimumSegment || length - at < segment)
            return false;
        at += segment;
        if (marker == jpegStartOfScan)
            at = endOfScan(bytes, length, at);
    }
    return false;
}

// DevIL allocates the palette a BMP announces before reading a byte of it.
bool bmpPalettePlausible(const std::uint8_t* bytes, std::size_t length) {
    if (length < bmpColoursUsedOffset + 4 ||
        littleEndian32(bytes + bmpInfoSizeOffset) == bmpCoreInfoBytes)
        return true; // nothing announced, or the OS/2 header, whose palette size is implied
    const std::uint32_t bits = littleEndian16(bytes + bmpBitCountOffset);
    if (bits > bmpLargestPaletteBits)
        return true;
    return littleEndian32(bytes + bmpColoursUsedOffset) <= (1u << bits);
}

// DevIL allocates the colour map a TGA announces, and takes a length of 32768 or more for a
// negative one, which becomes four gigabytes.
bool tgaMapPlausible(const std::uint8_t* bytes, std::size_t length) {
    if (length < tgaHeaderBytes)
        return true; // too short for DevIL to read anything
    const std::uint8_t type = bytes[tgaImageTypeOffset];
    if (bytes[tgaMapTypeOffset] == 0 && type != tgaMapped && type != tgaMappedRunLength)
        return true;
    const std::uint32_t entries = littleEndian16(bytes + tgaMapLengthOffset);
    const std::uint32_t entryBytes = (bytes[tgaMapEntryBitsOffset] + 7u) / 8u;
    return entries <= tgaLargestMap &&
           tgaHeaderBytes + bytes[tgaIdLengthOffset] + entries * entryBytes <= length;
}

} // namespace

bool ImageHeader::decodable(const std::string& fileName, const std::uint8_t* bytes,
                            std::size_t length) {
    switch (formatOf(fileName)) {
    case Format::Jpeg:
        return bytes != nullptr && jpegComplete(bytes, length);
    case Format::Bmp:
        return bytes == nullptr || bmpPalettePlausible(bytes, length);
    case Format::Tga:
        return bytes == nullptr || tgaMapPlausible(bytes, length);
    default:
        return true;
    }
}

bool ImageHeader::read(const std::string& fileName, const std::uint8_t* bytes, std::size_t length,
                       ImageHeader& out) {
    out = ImageHeader{};
    if (bytes == nullptr)
        return false;
    switch (formatOf(fileName)) {
    case Format::Png:
        return readPng(bytes, length, out);
    case Format::Tga:
        return readTga(bytes, length, out);
    case Format::Bmp:
        return readBmp(bytes, length, out);
    case Format::Jpeg:
        return readJpeg(bytes, length, out);
    case Format::Other:
        break;
    }
    return false;
}
