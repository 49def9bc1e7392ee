// PCX: a 128-byte header (manufacturer 10, version, encoding 1, bits per pixel, the picture's
// corners, planes and bytes per plane row; little-endian), run-length rows (a byte with its two
// top bits set repeats the next byte as often as its six low bits say), and for 8-bit palette
// pictures a 769-byte palette at the end. DevIL takes the picture's size from the corners and
// the row layout from the header, and reads as many rows as the picture has.
#include "formats/WalkSupport.h"

namespace formats {
namespace {

constexpr std::size_t headerBytes = 128;
constexpr std::uint32_t manufacturer = 10;
constexpr std::uint32_t runLengthEncoding = 1;
constexpr std::size_t versionOffset = 1;
constexpr std::size_t encodingOffset = 2;
constexpr std::uint32_t paletteVersion = 5;
constexpr std::uint32_t paletteMarker = 12;
constexpr std::uint64_t paletteBytes = 768;
constexpr std::size_t bitsOffset = 3;
constexpr std::size_t xMinOffset = 4, yMinOffset = 6, xMaxOffset = 8, yMaxOffset = 10;
constexpr std::size_t planesOffset = 65;
constexpr std::size_t rowBytesOffset = 66;
constexpr std::size_t fillerOffset = 74;
constexpr std::size_t fillerBytes = 54;
constexpr std::uint32_t runFlags = 0xC0;
constexpr std::uint32_t runCount = 0x3F;
constexpr std::uint32_t pixelsPerByte = 8;

// Decodes one row of `rowUnits` from `at`: bytes of 8-bit pictures, where DevIL refuses a run
// passing the row's end, or pixels of 1-bit ones (8 a byte), where it drops what passes it.
bool decodeRow(const Bytes& file, std::size_t& at, std::uint64_t rowUnits, bool bitmap) {
    const std::uint64_t unitsPerByte = bitmap ? pixelsPerByte : 1;
    std::uint64_t produced = 0;
    while (produced < rowUnits) {
        if (!file.holds(at, 1))
            return false;
        const std::uint32_t head = file.u8(at++);
        if ((head & runFlags) != runFlags) {
            produced += unitsPerByte;
            continue;
        }
        if (!file.holds(at++, 1))
            return false;
        produced += (head & runCount) * unitsPerByte;
        if (!bitmap && produced > rowUnits)
            return false;
    }
    return true;
}

} // namespace

bool walkPcx(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes) || file.u8(0) != manufacturer ||
        file.u8(encodingOffset) != runLengthEncoding)
        return refuse(check, "no PCX header");
    const std::uint32_t xMin = file.le16(xMinOffset), xMax = file.le16(xMaxOffset);
    const std::uint32_t yMin = file.le16(yMinOffset), yMax = file.le16(yMaxOffset);
    if (xMax < xMin || yMax < yMin)
        return refuse(check, "a PCX picture whose corners are swapped");
    const std::uint32_t width = xMax - xMin + 1, height = yMax - yMin + 1;
    declareSize(check, width, height);
    for (std::size_t i = 0; i < fillerBytes; ++i)
        if (file.u8(fillerOffset + i) != 0)
            return refuse(check, "a PCX header DevIL does not take");
    const std::uint32_t bits = file.u8(bitsOffset), planes = file.u8(planesOffset);
    const std::uint64_t planeRowBytes = file.le16(rowBytesOffset);
    std::uint64_t rowBytes = 0; // or pixels, for bitmaps
    if (bits == 8 && (planes == 1 || planes == 3 || planes == 4) &&
        planeRowBytes == width + (width & 1))
        rowBytes = planes * planeRowBytes;
    else if (bits == 1 && planes == 1)
        rowBytes = width;
    else if (bits == 1 && planes == 4 && planeRowBytes * pixelsPerByte >= width)
        rowBytes = planes * planeRowBytes * pixelsPerByte;
    // After an accepted layout no file gets 0 here (a row has a pixel at least): refused ones do.
    if (rowBytes == 0)
        return refuse(check, "a PCX pixel layout DevIL does not read");
    std::size_t at = headerBytes;
    for (std::uint32_t row = 0; row < height; ++row) {
        if (!decodeRow(file, at, rowBytes, bits == 1))
            return refuse(check, "the PCX rows reach past the end of the file");
        // DevIL takes a pad byte after each one-plane bitmap row of an even byte count.
        if (bits == 1 && planes == 1 && ((width >> 3) & 1) == 0)
            ++at;
    }
    // Version 5 palette pictures end in their palette, after a marker byte 12 that some files
    // leave out; without anything after the rows DevIL reads them as grey.
    if (bits == 8 && planes == 1 && file.u8(versionOffset) == paletteVersion && at < file.size() &&
        !file.holds(at + (file.u8(at) == paletteMarker ? 1 : 0), paletteBytes))
        return refuse(check, "the PCX palette reaches past the end of the file");
    return true;
}

} // namespace formats
