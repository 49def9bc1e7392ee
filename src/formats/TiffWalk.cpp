// TIFF: a byte-order mark ("II" little-endian, "MM" big-endian), 42, and the offset of the first
// image file directory (IFD); each IFD is a count of 12-byte entries (tag, type, count, value or
// the offset of the values) and the next IFD's offset, 0 ending the chain. DevIL hands the file
// to libtiff and reads every directory as a picture of 8-bit RGBA, allocated whole first; libtiff
// reads strips and tiles where their offsets say, as many bytes as their counts say.
#include "formats/WalkSupport.h"

#include <set>
#include <tuple>

namespace formats {
namespace {

constexpr std::size_t headerBytes = 8;
constexpr std::uint32_t magic = 42;
constexpr std::size_t entryBytes = 12;
constexpr std::uint32_t imageWidthTag = 256, imageLengthTag = 257, bitsPerSampleTag = 258;
constexpr std::uint32_t samplesPerPixelTag = 277, stripOffsetsTag = 273, stripByteCountsTag = 279;
constexpr std::uint32_t tileOffsetsTag = 324, tileByteCountsTag = 325;
constexpr std::uint32_t shortType = 3, longType = 4;
// Bytes of one value of each field type, 1 (BYTE) to 13 (IFD); 0 for types libtiff skips.
constexpr std::uint32_t typeBytes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
constexpr std::uint32_t inlineValueBytes = 4;
constexpr std::uint32_t mostSamples = 4;
// The fields a directory is searched for, each a pass over its entries.
constexpr std::uint64_t fieldsLookedUp = 8;

class TiffFile {
public:
    explicit TiffFile(const Bytes& file) : file(file), bigEndian(file.startsWith(0, "MM", 2)) {}

    // Its flags come from comparisons only: no file fires the sanitizer's checks of a bool.
    std::uint32_t u16(std::size_t at) const { return bigEndian ? file.be16(at) : file.le16(at); }
    std::uint32_t u32(std::size_t at) const { return bigEndian ? file.be32(at) : file.le32(at); }

    // One directory entry's values, found where they lie (inline when they fit in 4 bytes).
    struct Field {
        bool present = false;
        bool inside = false;
        std::uint32_t type = 0, count = 0;
        std::size_t values = 0;
    };
    Field field(std::size_t directory, std::uint32_t tag) const {
        Field found;
        const std::uint32_t entries = u16(directory);
        for (std::uint32_t entry = 0; entry < entries; ++entry) {
            const std::size_t at = directory + 2 + entry * entryBytes;
            if (u16(at) != tag)
                continue;
            found.present = true;
            found.type = u16(at + 2);
            found.count = u32(at + 4);
            const std::uint64_t size = found.type < std::size(typeBytes)
                                           ? std::uint64_t{typeBytes[found.type]} * found.count
                                           : 0;
            found.values = size <= inlineValueBytes ? at + 8 : u32(at + 8);
            found.inside = size != 0 && file.holds(found.values, size);
        }
        return found;
    }
    // The index-th value of a SHORT or LONG field.
    std::uint32_t value(const Field& field, std::uint32_t index) const {
        return field.type == shortType ? u16(field.values + 2 * index)
                                       : u32(field.values + 4 * index);
    }
    bool isInteger(const Field& field) const {
        return field.present && field.inside && (field.type == shortType || field.type == longType);
    }

    const Bytes& file;
    const bool bigEndian;
};

// The strip or tile tables found inside the file: directories may share them.
using PieceTables = std::set<std::tuple<std::size_t, std::size_t, std::uint32_t, std::uint32_t>>;

// Every strip or tile lies inside the file, as its offset and byte count say.
bool piecesInside(const TiffFile& tiff, const TiffFile::Field& offsets,
                  const TiffFile::Field& counts, PieceTables& checked, ImageCheck& check) {
    // No file gets a count of 0 past isInteger: a field without values does not lie inside.
    if (!tiff.isInteger(offsets) || !tiff.isInteger(counts) || offsets.count != counts.count ||
        offsets.count == 0)
        return false;
    const auto table = std::tuple(offsets.values, counts.values, offsets.count,
                                  offsets.type << 8 | counts.type);
    if (checked.contains(table))
        return true;
    if (!spend(tiff.file, check, offsets.count))
        return false;
    for (std::uint32_t piece = 0; piece < offsets.count; ++piece)
        if (!tiff.file.holds(tiff.value(offsets, piece), tiff.value(counts, piece)))
            return false;
    checked.insert(table);
    return true;
}

} // namespace

bool walkTiff(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes) ||
        !(file.startsWith(0, "II", 2) || file.startsWith(0, "MM", 2)))
        return refuse(check, "no TIFF header");
    const TiffFile tiff(file);
    if (tiff.u16(2) != magic)
        return refuse(check, "not a classic TIFF file (BigTIFF is not read)");
    std::set<std::uint32_t> visited;
    PieceTables checked;
    std::uint64_t totalPixels = 0;
    // Each flag read below comes from a comparison: no file fires the sanitizer's bool checks.
    for (std::uint32_t directory = tiff.u32(4); directory != 0;
         directory = tiff.u32(directory + 2 + tiff.u16(directory) * entryBytes)) {
        if (!visited.insert(directory).second)
            return refuse(check, "the TIFF directories form a loop");
        if (!file.holds(directory, 2) ||
            !file.holds(directory + 2, tiff.u16(directory) * entryBytes + 4))
            return refuse(check, "a TIFF directory reaches past the end of the file");
        if (!spend(file, check, fieldsLookedUp * tiff.u16(directory)))
            return refuse(check, overspentReason);
        const TiffFile::Field width = tiff.field(directory, imageWidthTag);
        const TiffFile::Field height = tiff.field(directory, imageLengthTag);
        if (!tiff.isInteger(width) || !tiff.isInteger(height))
            return refuse(check, "a TIFF directory without the picture's size");
        const std::uint32_t pixelsWide = tiff.value(width, 0), pixelsHigh = tiff.value(height, 0);
        if (visited.size() == 1)
            declareSize(check, pixelsWide, pixelsHigh);
        if (pixelsWide == 0 || pixelsHigh == 0)
            return refuse(check, "a TIFF picture without pixels");
        totalPixels += static_cast<std::uint64_t>(pixelsWide) * pixelsHigh;
        const TiffFile::Field samples = tiff.field(directory, samplesPerPixelTag);
        const std::uint32_t samplesPerPixel = samples.present ? tiff.value(samples, 0) : 1;
        if ((samples.present && !tiff.isInteger(samples)) || samplesPerPixel == 0 ||
            samplesPerPixel > mostSamples)
            return refuse(check, "a TIFF sample count DevIL does not read");
        const TiffFile::Field bits = tiff.field(directory, bitsPerSampleTag);
        if (bits.present) {
            if (!tiff.isInteger(bits))
                return refuse(check, "TIFF bits per sample past the end of the file");
            for (std::uint32_t sample = 0; sample < bits.count; ++sample) {
                const std::uint32_t depth = tiff.value(bits, sample);
                if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
                    return refuse(check, "a TIFF bit depth DevIL does not read");
            }
        }
        const TiffFile::Field tiles = tiff.field(directory, tileOffsetsTag);
        // Only an exception out of the set in piecesInside (memory) unwinds here, never a file.
        const bool inside =
            tiles.present
                ? piecesInside(tiff, tiles, tiff.field(directory, tileByteCountsTag), checked, check)
                : piecesInside(tiff, tiff.field(directory, stripOffsetsTag),
                               tiff.field(directory, stripByteCountsTag), checked, check);
        if (!inside)
            return refuse(check, !spend(file, check, 0)
                                     ? overspentReason
                                     : "a TIFF strip or tile reaches past the end of the file");
    }
    if (visited.empty())
        return refuse(check, "a TIFF file without a picture");
    check.totalPixels = totalPixels;
    return true;
}

} // namespace formats
