// Radiance HDR: a "#?RADIANCE" or "#?RGBE" line, header lines up to an empty one, the size line
// "-Y height +X width", then one scanline per row: four bytes a pixel (red, green, blue and a
// shared exponent), flat with run dwords (1, 1, 1, count) repeating the pixel before, or, after
// a (2, 2, width) mark, each of the four components run-length coded on its own. DevIL
// allocates the picture from the size line and reads as many scanlines as it declares; a run
// dword at a scanline's start repeats the pixel before the scanline buffer.
#include "formats/WalkSupport.h"

#include <algorithm>

namespace formats {
namespace {

// DevIL reads the signature as ten bytes and looks for the empty line after them.
constexpr std::size_t signatureBytes = 10;
constexpr std::size_t longestSizeLine = 79;
constexpr std::uint32_t pixelBytes = 4;
constexpr std::uint32_t components = 4;
constexpr std::uint32_t runFlag = 128;
constexpr std::uint32_t separatedMark = 2;
constexpr std::uint32_t runMark = 1;

// Reads "<sign><axis> <decimal>" at `at`, followed by `after`.
bool readAxis(const Bytes& file, std::size_t& at, const char* axis, char after,
              std::uint32_t& value) {
    if (!file.startsWith(at, axis, 3))
        return false;
    at += 3;
    std::uint64_t number = 0;
    std::size_t digits = 0;
    for (; file.u8(at) >= '0' && file.u8(at) <= '9' && digits < 9; ++at, ++digits)
        number = number * 10 + (file.u8(at) - '0');
    value = static_cast<std::uint32_t>(number);
    return digits > 0 && file.u8(at++) == static_cast<std::uint8_t>(after) && value > 0;
}

// One scanline of run-length coded components; DevIL drops what a run gives beyond the width,
// and reads a literal only up to the width: the rest is the next component's.
bool separatedScanline(const Bytes& file, std::size_t& at, std::uint32_t width) {
    for (std::uint32_t component = 0; component < components; ++component) {
        for (std::uint32_t done = 0; done < width;) {
            if (!file.holds(at, 1))
                return false;
            const std::uint32_t head = file.u8(at++);
            const std::uint32_t bytes = head > runFlag ? 1 : std::min(head, width - done);
            if (!file.holds(at, bytes))
                return false;
            at += bytes;
            done += head > runFlag ? head - runFlag : head;
        }
    }
    return true;
}

// One flat scanline: pixels and run dwords; none may start it.
bool flatScanline(const Bytes& file, std::size_t& at, std::uint32_t width) {
    std::uint64_t read = 0;
    std::uint32_t shift = 0;
    while (read < width) {
        if (!file.holds(at, pixelBytes))
            return false;
        const bool run =
            file.u8(at) == runMark && file.u8(at + 1) == runMark && file.u8(at + 2) == runMark;
        if (run && read == 0)
            return false;
        if (run) {
            read += shift < 32 ? std::uint64_t{file.u8(at + 3)} << shift : width;
            shift += 8;
        } else {
            ++read;
            shift = 0;
        }
        at += pixelBytes;
    }
    return true;
}

} // namespace

bool walkHdr(const Bytes& file, ImageCheck& check) {
    if (!file.startsWith(0, "#?RADIANCE", 10) && !file.startsWith(0, "#?RGBE", 6))
        return refuse(check, "no Radiance HDR signature");
    std::size_t at = signatureBytes + 1;
    while (file.holds(at, 1) && !(file.u8(at) == '\n' && file.u8(at - 1) == '\n'))
        ++at;
    const std::size_t sizeLine = ++at;
    std::uint32_t width = 0, height = 0;
    // The length never refuses a file: two numbers of 9 digits at most make a line of 26 bytes.
    if (!readAxis(file, at, "-Y ", ' ', height) || !readAxis(file, at, "+X ", '\n', width) ||
        at - sizeLine > longestSizeLine + 1)
        return refuse(check, "no Radiance HDR size line \"-Y height +X width\"");
    declareSize(check, width, height);
    for (std::uint32_t row = 0; row < height; ++row) {
        const bool separated = file.u8(at) == separatedMark && file.u8(at + 1) == separatedMark;
        if (separated && (file.u8(at + 2) << 8 | file.u8(at + 3)) != width)
            return refuse(check, "a Radiance HDR scanline of another width");
        if (separated
                ? !(file.holds(at, pixelBytes) && separatedScanline(file, at += pixelBytes, width))
                : !flatScanline(file, at, width))
            return refuse(check, "the Radiance HDR scanlines reach past the end of the file");
    }
    return true;
}

} // namespace formats
