// TGA: an 18-byte header (little-endian 16-bit fields), the image ID, the colour map, then the
// pixels, raw or as run-length packets. DevIL allocates the colour map it is told of, taking a
// length of 32768 or more for a negative one (four gigabytes), and the whole picture before
// reading its pixels.
#include "formats/WalkSupport.h"

namespace formats {
namespace {

constexpr std::size_t headerBytes = 18;
constexpr std::size_t idLengthOffset = 0;
constexpr std::size_t mapTypeOffset = 1;
constexpr std::size_t imageTypeOffset = 2;
constexpr std::size_t mapLengthOffset = 5;
constexpr std::size_t mapEntryBitsOffset = 7;
constexpr std::size_t widthOffset = 12;
constexpr std::size_t heightOffset = 14;
constexpr std::size_t pixelBitsOffset = 16;
constexpr std::uint32_t mapped = 1, trueColour = 2, grey = 3;
constexpr std::uint32_t mappedRunLength = 9, trueColourRunLength = 10, greyRunLength = 11;
constexpr std::uint32_t largestMap = 0x7FFF;
// A run-length packet is one count byte and one pixel, and stands for at most 128 pixels.
constexpr std::uint64_t longestRun = 128;

} // namespace

bool walkTga(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes))
        return refuse(check, "a TGA header cut short");
    declareSize(check, file.le16(widthOffset), file.le16(heightOffset));
    const std::uint32_t type = file.u8(imageTypeOffset);
    const bool isMapped = type == mapped || type == mappedRunLength;
    const bool runLength =
        type == mappedRunLength || type == trueColourRunLength || type == greyRunLength;
    if (!isMapped && !runLength && type != trueColour && type != grey)
        return refuse(check, "a TGA image type DevIL does not read");
    std::uint64_t pixelsStart = headerBytes + file.u8(idLengthOffset);
    // Colour-mapped types always read a map, the others when the header says there is one.
    if (file.u8(mapTypeOffset) != 0 || isMapped) {
        const std::uint32_t entries = file.le16(mapLengthOffset);
        if (entries > largestMap)
            return refuse(check, "a TGA colour map DevIL takes for a negative length");
        if (isMapped && entries == 0)
            return refuse(check, "a colour-mapped TGA without colours, which DevIL reads past");
        pixelsStart +=
            static_cast<std::uint64_t>(entries) * ((file.u8(mapEntryBitsOffset) + 7) / 8);
    }
    if (pixelsStart > file.size())
        return refuse(check, "the TGA colour map reaches past the end of the file");
    const std::uint64_t pixels = check.totalPixels;
    const std::uint64_t pixelBytes = (file.u8(pixelBitsOffset) + 7) / 8;
    const std::uint64_t leastData =
        runLength ? (pixels + longestRun - 1) / longestRun * (1 + pixelBytes) : pixels * pixelBytes;
    return file.holds(pixelsStart, leastData)
               ? true
               : refuse(check, "the TGA pixels reach past the end of the file");
}

} // namespace formats
