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
// Every chunk: a big-endian data length (at most 2^31 - 1), a four-letter type, the data and a
// CRC. IHDR's data is 13 bytes: width, height, bit depth, colour type, compression, filter,
// interlace.
constexpr std::size_t pngChunkFramingBytes = 12;
constexpr std::uint32_t pngLargestChunk = 0x7FFFFFFF;
constexpr std::uint32_t pngHeaderDataBytes = 13;
constexpr std::size_t pngBitDepthOffset = 24;
constexpr std::size_t pngColourTypeOffset = 25;
constexpr std::uint8_t pngGrey = 0;
constexpr std::uint8_t pngRgb = 2;
constexpr std::uint8_t pngPalette = 3;
constexpr std::uint8_t pngGreyAlpha = 4;
constexpr std::uint8_t pngRgba = 6;
// Deflate never turns one byte into more than 1032: that many compressed bytes at least must
// stand behind the rows the header declares.
constexpr std::uint64_t deflateLargestExpansion = 1032;

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
constexpr std::size_t tgaPixelBitsOffset = 16;
constexpr std::uint8_t tgaTrueColour = 2;
constexpr std::uint8_t tgaGrey = 3;
constexpr std::uint8_t tgaTrueColourRunLength = 10;
constexpr std::uint8_t tgaGreyRunLength = 11;
// A run-length packet is one count byte and one pixel, and stands for at most 128 pixels.
constexpr std::uint64_t tgaLongestRun = 128;

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
// Where the pixels start, the compression, and the info header sizes in use (OS/2, Windows 3,
// the two with colour masks, OS/2 2, Windows 4 and 5).
constexpr std::size_t bmpFileHeaderBytes = 14;
constexpr std::size_t bmpPixelOffsetOffset = 10;
constexpr std::size_t bmpCoreBitCountOffset = 24;
constexpr std::size_t bmpCompressionOffset = 30;
constexpr std::array<std::uint32_t, 7> bmpInfoSizes{12, 40, 52, 56, 64, 108, 124};
constexpr std::uint32_t bmpUncompressed = 0;
constexpr std::uint32_t bmpRunLength8 = 1;
constexpr std::uint32_t bmpRunLength4 = 2;
constexpr std::uint32_t bmpBitFields = 3;
// A Windows 3 header with bit fields keeps its three colour masks after it.
constexpr std::uint32_t bmpWindows3InfoBytes = 40;
constexpr std::uint32_t bmpMaskBytes = 12;
constexpr std::uint32_t bmpCorePaletteEntryBytes = 3;
constexpr std::uint32_t bmpPaletteEntryBytes = 4;
constexpr std::uint32_t bmpRowAlignmentBits = 32;

// DDS files that DevIL decodes (the ones not named ".DDS"): the magic and a 124-byte header,
// then the levels. The game hands on DXT1, DXT3 and DXT5 flat pictures only.
constexpr std::size_t ddsDataStart = 128;
constexpr std::size_t ddsHeightOffset = 12;
constexpr std::size_t ddsWidthOffset = 16;
constexpr std::size_t ddsMipMapCountOffset = 28;
constexpr std::size_t ddsFourCcOffset = 84;
constexpr std::size_t ddsCaps2Offset = 112;
constexpr std::uint32_t ddsCubeOrVolume = 0x200 | 0x200000;
constexpr std::uint64_t ddsDxt1BlockBytes = 8;
constexpr std::uint64_t ddsDxt3Dxt5BlockBytes = 16;
constexpr std::uint32_t ddsBlockEdge = 4;
// More levels than this cannot exist: a 32-bit edge halves to one pixel in 32 steps.
constexpr std::uint32_t ddsMostLevels = 33;

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

enum class Format { Other, Png, Tga, Bmp, Jpeg, Dds };

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
    if (extension == "dds")
        return Format::Dds;
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

bool isChunkLetter(std::uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// The bytes of filtered rows that an IHDR declares, or 0 for a bit depth and colour type
// that do not go together.
std::uint64_t pngFilteredBytes(const std::uint8_t* header) {
    const std::uint32_t width = bigEndian32(header + pngWidthOffset);
    const std::uint32_t height = bigEndian32(header + pngHeightOffset);
    const std::uint32_t depth = header[pngBitDepthOffset];
    const bool byteDepth = depth == 8 || depth == 16;
    const bool anyDepth = byteDepth || depth == 1 || depth == 2 || depth == 4;
    std::uint32_t channels = 0;
    switch (header[pngColourTypeOffset]) {
    case pngGrey:
        channels = anyDepth ? 1 : 0;
        break;
    case pngPalette:
        channels = anyDepth && depth != 16 ? 1 : 0;
        break;
    case pngGreyAlpha:
        channels = byteDepth ? 2 : 0;
        break;
    case pngRgb:
        channels = byteDepth ? 3 : 0;
        break;
    case pngRgba:
        channels = byteDepth ? 4 : 0;
        break;
    default:
        break;
    }
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * channels * depth + 7) / 8;
    return channels == 0 ? 0 : (rowBytes + 1) * height; // a filter byte leads every row
}

// Walks the chunk list from IHDR to IEND: libpng trusts a chunk's length and, when the file
// ends inside a chunk, keeps reading for as long as the length says.
bool pngComplete(const std::uint8_t* bytes, std::size_t length) {
    if (length < pngSignature.size() ||
        !std::equal(pngSignature.begin(), pngSignature.end(), bytes))
        return false;
    std::size_t at = pngSignature.size();
    std::uint64_t filteredBytes = 0;
    std::uint64_t compressedBytes = 0;
    bool first = true;
    while (length - at >= pngChunkFramingBytes) {
        const std::uint32_t dataBytes = bigEndian32(bytes + at);
        const std::uint8_t* type = bytes + at + 4;
        if (dataBytes > pngLargestChunk || length - at - pngChunkFramingBytes < dataBytes ||
            !std::all_of(type, type + 4, isChunkLetter))
            return false;
        if (first) {
            if (std::memcmp(type, "IHDR", 4) != 0 || dataBytes != pngHeaderDataBytes)
                return false;
            filteredBytes = pngFilteredBytes(bytes);
            if (filteredBytes == 0)
                return false;
            first = false;
        }
        if (std::memcmp(type, "IDAT", 4) == 0)
            compressedBytes += dataBytes;
        if (std::memcmp(type, "IEND", 4) == 0)
            return compressedBytes * deflateLargestExpansion >= filteredBytes;
        at += pngChunkFramingBytes + dataBytes;
    }
    return false;
}

// TGA: the image ID, the colour map and the pixels lie inside the file. DevIL allocates the
// colour map it is told of and takes a length of 32768 or more for a negative one, which
// becomes four gigabytes; and it allocates the whole picture before reading its pixels.
bool tgaBounded(const std::uint8_t* bytes, std::size_t length) {
    if (length < tgaHeaderBytes)
        return false;
    const std::uint8_t type = bytes[tgaImageTypeOffset];
    const bool mapped = type == tgaMapped || type == tgaMappedRunLength;
    const bool runLength =
        type == tgaMappedRunLength || type == tgaTrueColourRunLength || type == tgaGreyRunLength;
    if (!mapped && !runLength && type != tgaTrueColour && type != tgaGrey)
        return false;
    std::uint64_t pixelsStart = tgaHeaderBytes + bytes[tgaIdLengthOffset];
    if (bytes[tgaMapTypeOffset] != 0 || mapped) {
        const std::uint32_t entries = littleEndian16(bytes + tgaMapLengthOffset);
        if (entries > tgaLargestMap)
            return false;
        pixelsStart +=
            static_cast<std::uint64_t>(entries) * ((bytes[tgaMapEntryBitsOffset] + 7u) / 8u);
    }
    if (pixelsStart > length)
        return false;
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(littleEndian16(bytes + tgaWidthOffset)) *
        littleEndian16(bytes + tgaHeightOffset);
    const std::uint64_t pixelBytes = (bytes[tgaPixelBitsOffset] + 7u) / 8u;
    const std::uint64_t leastData =
        runLength ? (pixels + tgaLongestRun - 1) / tgaLongestRun * (1 + pixelBytes)
                  : pixels * pixelBytes;
    return leastData <= length - pixelsStart;
}

// BMP: the info header, the palette and the pixels lie inside the file, and a palette lists at
// most 2^bits colours. DevIL allocates the palette it is told of before reading a byte of it.
bool bmpBounded(const std::uint8_t* bytes, std::size_t length) {
    if (length < bmpFileHeaderBytes + 4 || bytes[0] != 'B' || bytes[1] != 'M')
        return false;
    const std::uint32_t infoBytes = littleEndian32(bytes + bmpInfoSizeOffset);
    if (std::find(bmpInfoSizes.begin(), bmpInfoSizes.end(), infoBytes) == bmpInfoSizes.end() ||
        length < bmpFileHeaderBytes + infoBytes)
        return false;
    const bool core = infoBytes == bmpCoreInfoBytes;
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = bmpUncompressed;
    std::uint64_t colours = 0;
    if (core) {
        width = littleEndian16(bytes + bmpWidthOffset);
        height = littleEndian16(bytes + bmpCoreHeightOffset);
        bits = littleEndian16(bytes + bmpCoreBitCountOffset);
    } else {
        width = magnitude(littleEndian32(bytes + bmpWidthOffset));
        height = magnitude(littleEndian32(bytes + bmpHeightOffset));
        bits = littleEndian16(bytes + bmpBitCountOffset);
        compression = littleEndian32(bytes + bmpCompressionOffset);
        colours = littleEndian32(bytes + bmpColoursUsedOffset);
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    std::uint64_t paletteStart = bmpFileHeaderBytes + infoBytes;
    if (compression == bmpBitFields && infoBytes == bmpWindows3InfoBytes)
        paletteStart += bmpMaskBytes;
    // A palette image lists at most 2^bits colours, all of them when it says 0; a true-colour
    // one may list some all the same, which DevIL reads too.
    if (bits <= bmpLargestPaletteBits) {
        if (colours == 0)
            colours = 1u << bits;
        if (colours > (1u << bits))
            return false;
    }
    paletteStart += colours * (core ? bmpCorePaletteEntryBytes : bmpPaletteEntryBytes);
    const std::uint64_t pixelsStart = littleEndian32(bytes + bmpPixelOffsetOffset);
    if (paletteStart > length || pixelsStart > length)
        return false;
    const std::uint64_t rowBytes =
        (width * bits + bmpRowAlignmentBits - 1) / bmpRowAlignmentBits * (bmpRowAlignmentBits / 8);
    // Each compression goes with its own pixel sizes; DevIL's run-length decoders take any
    // file that says so for a palette image.
    switch (compression) {
    case bmpUncompressed:
        return rowBytes * height <= length - pixelsStart;
    case bmpBitFields:
        return (bits == 16 || bits == 32) && rowBytes * height <= length - pixelsStart;
    case bmpRunLength8:
        return bits == 8 && pixelsStart < length;
    case bmpRunLength4:
        return bits == 4 && pixelsStart < length;
    default:
        return false;
    }
}

// DDS named otherwise than ".DDS", which DevIL decodes: a flat DXT picture whose declared
// levels lie inside the file. DevIL would allocate cube faces and volume slices as declared.
bool ddsBounded(const std::uint8_t* bytes, std::size_t length) {
    if (length < ddsDataStart || std::memcmp(bytes, "DDS ", 4) != 0 ||
        (littleEndian32(bytes + ddsCaps2Offset) & ddsCubeOrVolume) != 0)
        return false;
    std::uint64_t blockBytes = 0;
    if (std::memcmp(bytes + ddsFourCcOffset, "DXT1", 4) == 0)
        blockBytes = ddsDxt1BlockBytes;
    else if (std::memcmp(bytes + ddsFourCcOffset, "DXT3", 4) == 0 ||
             std::memcmp(bytes + ddsFourCcOffset, "DXT5", 4) == 0)
        blockBytes = ddsDxt3Dxt5BlockBytes;
    else
        return false;
    std::uint32_t width = littleEndian32(bytes + ddsWidthOffset);
    std::uint32_t height = littleEndian32(bytes + ddsHeightOffset);
    const std::uint32_t levels =
        std::clamp<std::uint32_t>(littleEndian32(bytes + ddsMipMapCountOffset), 1, ddsMostLevels);
    if (width == 0 || height == 0)
        return false;
    std::uint64_t dataBytes = 0;
    for (std::uint32_t level = 0; level < levels; ++level) {
        dataBytes += static_cast<std::uint64_t>((width + ddsBlockEdge - 1) / ddsBlockEdge) *
                     ((height + ddsBlockEdge - 1) / ddsBlockEdge) * blockBytes;
        width = std::max<std::uint32_t>(width / 2, 1);
        height = std::max<std::uint32_t>(height / 2, 1);
    }
    return dataBytes <= length - ddsDataStart;
}

} // namespace

bool ImageHeader::handedToDevil(const std::string& fileName) {
    return formatOf(fileName) != Format::Other;
}

bool ImageHeader::decodable(const std::string& fileName, const std::uint8_t* bytes,
                            std::size_t length) {
    if (bytes == nullptr)
        return false;
    switch (formatOf(fileName)) {
    case Format::Png:
        return pngComplete(bytes, length);
    case Format::Tga:
        return tgaBounded(bytes, length);
    case Format::Bmp:
        return bmpBounded(bytes, length);
    case Format::Jpeg:
        return jpegComplete(bytes, length);
    case Format::Dds:
        return ddsBounded(bytes, length);
    case Format::Other:
        break;
    }
    return false;
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
    case Format::Dds:
        if (length < ddsDataStart || std::memcmp(bytes, "DDS ", 4) != 0)
            return false;
        out.width = littleEndian32(bytes + ddsWidthOffset);
        out.height = littleEndian32(bytes + ddsHeightOffset);
        return true;
    case Format::Other:
        break;
    }
    return false;
}
