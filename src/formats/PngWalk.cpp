// PNG: the signature, then chunks of a big-endian data length (at most 2^31 - 1), a four-letter
// type, the data and a CRC, from IHDR to IEND. libpng trusts a chunk's length and, when the file
// ends inside a chunk, keeps reading for as long as the length says.
#include "formats/WalkSupport.h"

#include <algorithm>
#include <array>

namespace formats {
namespace {

constexpr std::array<std::uint8_t, 8> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t framingBytes = 12;
// The length and type: IEND's CRC may be missing, libpng reads no further.
constexpr std::size_t lengthAndTypeBytes = 8;
constexpr std::uint32_t largestChunk = 0x7FFFFFFF;
// IHDR's data: width, height, bit depth, colour type, compression, filter, interlace.
constexpr std::uint32_t headerDataBytes = 13;
constexpr std::size_t widthOffset = 16;
constexpr std::size_t heightOffset = 20;
constexpr std::size_t bitDepthOffset = 24;
constexpr std::size_t colourTypeOffset = 25;
constexpr std::uint32_t grey = 0, rgb = 2, palette = 3, greyAlpha = 4, rgba = 6;
// Deflate never turns one byte into more than 1032: that many compressed bytes at least must
// stand behind the rows the header declares.
constexpr std::uint64_t deflateLargestExpansion = 1032;

bool isChunkLetter(std::uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// The bytes of filtered rows that IHDR declares, or 0 for a bit depth and colour type that do
// not go together.
std::uint64_t filteredBytes(const Bytes& file) {
    const std::uint32_t depth = file.u8(bitDepthOffset);
    const bool byteDepth = depth == 8 || depth == 16;
    const bool anyDepth = byteDepth || depth == 1 || depth == 2 || depth == 4;
    std::uint32_t channels = 0;
    switch (file.u8(colourTypeOffset)) {
    case grey:
        channels = anyDepth ? 1 : 0;
        break;
    case palette:
        channels = anyDepth && depth != 16 ? 1 : 0;
        break;
    case greyAlpha:
        channels = byteDepth ? 2 : 0;
        break;
    case rgb:
        channels = byteDepth ? 3 : 0;
        break;
    case rgba:
        channels = byteDepth ? 4 : 0;
        break;
    default:
        break;
    }
    const std::uint64_t rowBytes =
        (static_cast<std::uint64_t>(file.be32(widthOffset)) * channels * depth + 7) / 8;
    return channels == 0 ? 0 : (rowBytes + 1) * file.be32(heightOffset); // a filter byte a row
}

} // namespace

bool walkPng(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, heightOffset + 4) ||
        !std::equal(signature.begin(), signature.end(), file.at(0)) ||
        !file.startsWith(signature.size() + 4, "IHDR", 4))
        return refuse(check, "no PNG signature and header");
    declareSize(check, file.be32(widthOffset), file.be32(heightOffset));
    if (file.be32(signature.size()) != headerDataBytes)
        return refuse(check, "a PNG header of the wrong length");
    const std::uint64_t needed = filteredBytes(file);
    if (needed == 0)
        return refuse(check, "a PNG bit depth its colour type does not take");
    std::uint64_t compressed = 0;
    std::size_t at = signature.size();
    while (file.holds(at, lengthAndTypeBytes)) {
        const std::uint32_t dataBytes = file.be32(at);
        const std::uint8_t* type = file.at(at + 4);
        if (!std::all_of(type, type + 4, isChunkLetter))
            return refuse(check, "a PNG chunk without a type");
        // No file overspends here: each chunk moves on 12 bytes or more, a byte buys 2 steps.
        if (!spend(file, check, 1))
            return refuse(check, overspentReason);
        if (file.startsWith(at + 4, "IEND", 4) && dataBytes == 0) {
            if (compressed * deflateLargestExpansion < needed)
                return refuse(check, "too little PNG image data for the rows declared");
            return true;
        }
        if (dataBytes > largestChunk || !file.holds(at + framingBytes, dataBytes))
            return refuse(check, "a PNG chunk reaches past the end of the file");
        if (file.startsWith(at + 4, "IDAT", 4))
            compressed += dataBytes;
        at += framingBytes + dataBytes;
    }
    return refuse(check, "the PNG file ends before its IEND chunk");
}

} // namespace formats
