// ICO and CUR: a 6-byte directory header (reserved 0, type 1 for icons or 2 for cursors, the
// entry count), 16-byte entries each giving its image's byte count and offset, then the images:
// a BMP info header, palette, colour pixels and a 1-bit AND mask of half the declared height,
// or a PNG file. DevIL reads every entry, allocating its palette and pixels as declared, and
// makes a picture of each.
#include "formats/WalkSupport.h"

#include <map>
#include <utility>

namespace formats {
namespace {

constexpr std::size_t directoryBytes = 6;
constexpr std::size_t entryBytes = 16;
constexpr std::size_t entrySizeOffset = 8;
constexpr std::size_t entryOffsetOffset = 12;
constexpr std::uint32_t iconType = 1, cursorType = 2;
// The BMP info header inside an icon: its size, width, height (colour and mask rows together),
// planes, bit count, ... colours used.
constexpr std::size_t infoBytes = 40;
constexpr std::size_t widthOffset = 4, heightOffset = 8, bitCountOffset = 14;
constexpr std::size_t coloursUsedOffset = 32;
constexpr std::uint32_t paletteEntryBytes = 4;
constexpr std::uint32_t fullPaletteBits = 8;
constexpr std::uint32_t rowAlignmentBytes = 4;
// The only PNG icons DevIL 1.7 decodes without reading outside its buffers: 8-bit RGBA ones
// (other kinds are copied as if 24 bits a pixel, or through the BMP mask they lack).
constexpr std::size_t pngBitDepthOffset = 24, pngColourTypeOffset = 25;
constexpr std::uint32_t pngRgba = 6;

std::uint64_t alignedRow(std::uint64_t bits) {
    return (bits + 7) / 8 +
           (rowAlignmentBytes - (bits + 7) / 8 % rowAlignmentBytes) % rowAlignmentBytes;
}

// One BMP image of an icon, inside [start, start + size of the file); its pixels counted.
bool bmpImage(const Bytes& file, std::size_t start, ImageCheck& check, std::uint64_t& pixels,
              bool first) {
    if (!file.holds(start, infoBytes))
        return refuse(check, "an icon image header reaches past the end of the file");
    const std::uint32_t width = file.le32(start + widthOffset);
    const std::uint32_t height = file.le32(start + heightOffset) / 2; // the mask's rows too
    const std::uint32_t bits = file.le16(start + bitCountOffset);
    if (first)
        declareSize(check, width, height);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF ||
        file.le32(start + heightOffset) > 0x7FFFFFFF)
        return refuse(check, "an icon image without pixels");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
        return refuse(check, "an icon bit depth DevIL does not read");
    // Palettes: 8-bit ones are always read whole; smaller ones as many colours as listed, which
    // must cover every index the pixels may hold.
    std::uint64_t colours = bits == fullPaletteBits ? 256 : 0;
    if (bits < fullPaletteBits) {
        colours = file.le32(start + coloursUsedOffset);
        if (colours == 0)
            colours = std::uint64_t{1} << bits;
        if (colours < (std::uint64_t{1} << bits))
            return refuse(check, "an icon palette smaller than its pixels index");
    }
    const std::uint64_t imageBytes = colours * paletteEntryBytes +
                                     alignedRow(std::uint64_t{width} * bits) * height +
                                     alignedRow(width) * height;
    if (!file.holds(start + infoBytes, imageBytes))
        return refuse(check, "an icon image reaches past the end of the file");
    pixels += std::uint64_t{width} * height;
    return true;
}

// The PNG images already walked, by start and size: entries may share one.
using Walked = std::map<std::pair<std::size_t, std::size_t>, ImageCheck>;

bool pngImage(const Bytes& file, std::size_t start, std::size_t size, ImageCheck& check,
              std::uint64_t& pixels, bool first, Walked& walked) {
    auto found = walked.find({start, size});
    if (found == walked.end()) {
        ImageCheck image;
        if (!file.holds(start, size))
            return refuse(check, "a PNG icon image reaches past the end of the file");
        if (!walkPng(Bytes(file.at(start), size), image))
            return refuse(check, "a PNG icon image: " + image.reason);
        if (!spend(file, check, image.work))
            return refuse(check, overspentReason);
        found = walked.emplace(std::pair{start, size}, image).first;
    }
    const ImageCheck& png = found->second;
    if (first)
        declareSize(check, png.width, png.height);
    if (file.u8(start + pngColourTypeOffset) != pngRgba || file.u8(start + pngBitDepthOffset) != 8)
        return refuse(check, "a PNG icon image other than 8-bit RGBA, which DevIL misreads");
    pixels += png.totalPixels;
    return true;
}

} // namespace

bool walkIco(const Bytes& file, ImageCheck& check) {
    const std::uint32_t type = file.le16(2), entries = file.le16(4);
    if (!file.holds(0, directoryBytes) || file.le16(0) != 0 ||
        (type != iconType && type != cursorType))
        return refuse(check, "no icon directory");
    if (entries == 0 || !file.holds(directoryBytes, std::uint64_t{entries} * entryBytes))
        return refuse(check, "the icon directory reaches past the end of the file");
    std::uint64_t pixels = 0;
    Walked walked;
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
        const std::size_t at = directoryBytes + entry * entryBytes;
        const std::size_t start = file.le32(at + entryOffsetOffset);
        const std::size_t size = file.le32(at + entrySizeOffset);
        // DevIL takes an image for PNG when its bytes 1 to 3 spell "PNG" in any case.
        const bool isPng = (file.u8(start + 1) | 0x20) == 'p' &&
                           (file.u8(start + 2) | 0x20) == 'n' && (file.u8(start + 3) | 0x20) == 'g';
        if (!(isPng ? pngImage(file, start, size, check, pixels, entry == 0, walked)
                    : bmpImage(file, start, check, pixels, entry == 0)))
            return false;
    }
    check.totalPixels = pixels;
    return true;
}

} // namespace formats
