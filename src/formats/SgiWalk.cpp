// SGI: a 512-byte header (magic 474, storage 0 verbatim or 1 run-length, bytes per channel,
// dimensions, x, y and z sizes; big-endian), then the channels one after the other, verbatim or
// as run-length rows found through two tables of a 32-bit offset and length per row and
// channel. DevIL allocates the tables and the picture from the header, and decodes each row
// into a buffer of the row's size without checking that a packet stays inside it.
#include "formats/WalkSupport.h"

#include <unordered_map>

namespace formats {
namespace {

constexpr std::size_t headerBytes = 512;
constexpr std::uint32_t magic = 474;
constexpr std::size_t storageOffset = 2, bytesPerChannelOffset = 3, dimensionOffset = 4;
constexpr std::size_t xSizeOffset = 6, ySizeOffset = 8, zSizeOffset = 10;
constexpr std::uint32_t verbatim = 0, runLength = 1;
constexpr std::uint32_t countBits = 0x7F;
constexpr std::uint32_t literalFlag = 0x80;
constexpr std::uint32_t tableEntryBytes = 4;

// A run-length row as DevIL decodes it: packets (a count with the literal flag, then that many
// values; or a count and one value to repeat) until a count of 0, the row's length in bytes or
// its width; the row must come out exactly as wide as the picture. Decoded once for each start,
// as rows may share their data: the row's length only decides whether the last packet is read.
struct RowDecoding {
    bool wholeWidth = false;
    std::uint64_t lastPacketAt = 0; // bytes of the row before its last packet
};

RowDecoding decodeRow(const Bytes& file, std::size_t at, std::uint64_t width, ImageCheck& check) {
    RowDecoding row;
    std::uint64_t read = 0, produced = 0;
    while (produced < width && spend(file, check, 1)) {
        const std::uint32_t count = file.u8(at) & countBits;
        const std::uint64_t payload = (file.u8(at) & literalFlag) ? count : 1;
        if (!file.holds(at, 1 + payload) || count == 0)
            break;
        if (produced + count > width)
            break;
        row.lastPacketAt = read;
        at += 1 + payload;
        read += 1 + payload;
        produced += count;
    }
    row.wholeWidth = produced == width;
    return row;
}

} // namespace

bool walkSgi(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes) || file.be16(0) != magic)
        return refuse(check, "no SGI header");
    const std::uint32_t width = file.be16(xSizeOffset), height = file.be16(ySizeOffset);
    declareSize(check, width, height);
    std::uint32_t channels = file.be16(zSizeOffset);
    const std::uint32_t valueBytes = file.u8(bytesPerChannelOffset);
    const std::uint32_t storage = file.u8(storageOffset);
    // DevIL reads a two-channel file as one channel, as the program writing them meant.
    if (channels == 2)
        channels = 1;
    if ((storage != verbatim && storage != runLength) || file.be16(dimensionOffset) == 0 ||
        width == 0 || height == 0 || (channels != 1 && channels != 3 && channels != 4) ||
        (valueBytes != 1 && valueBytes != 2))
        return refuse(check, "an SGI header DevIL does not take");
    const std::uint64_t rows = static_cast<std::uint64_t>(height) * channels;
    if (storage == verbatim)
        return file.holds(headerBytes, rows * width * valueBytes)
                   ? true
                   : refuse(check, "the SGI channels reach past the end of the file");
    // DevIL reads two-byte counts in the machine's byte order, not the file's: a sound file
    // fails, a damaged one can write past a row.
    if (valueBytes != 1)
        return refuse(check, "a 16-bit run-length SGI, whose counts DevIL reads byte-swapped");
    const std::size_t offsets = headerBytes;
    const std::size_t lengths = offsets + rows * tableEntryBytes;
    if (!file.holds(offsets, 2 * rows * tableEntryBytes))
        return refuse(check, "the SGI row tables reach past the end of the file");
    std::unordered_map<std::uint32_t, RowDecoding> decoded;
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint32_t start = file.be32(offsets + row * tableEntryBytes);
        auto found = decoded.find(start);
        if (found == decoded.end())
            found = decoded.emplace(start, decodeRow(file, start, width, check)).first;
        if (!spend(file, check, 1))
            return refuse(check, overspentReason);
        // wholeWidth is a comparison's result: no file fires the sanitizer's check of a bool.
        if (!found->second.wholeWidth ||
            found->second.lastPacketAt >= file.be32(lengths + row * tableEntryBytes))
            return refuse(check, "an SGI row does not decode to the picture's width");
    }
    return true;
}

} // namespace formats
