// PNM (PBM, PGM, PPM): "P1" to "P6", then width, height and (but for bitmaps) the largest
// sample value as decimal text, separated by white space and "#" comments; the samples follow as
// text (P1 to P3) or, after one white space byte, as bytes (P4 to P6; two bytes a sample when
// the largest value exceeds 255). DevIL allocates the picture from the header, then reads the
// bytes as long as the picture needs, and the text a line at a time through a buffer of 180
// bytes: a longer line is cut there (a byte lost at the cut, a number split in two), every word
// of a line is stored even past the picture's end, a line of blanks sends it reading past the
// line's end, and a "#" only starts a comment at a line's start. Its header words end only at a
// blank, a line end (LF or CR LF) or a comment, and a file it fails on is freed twice: the game
// would abort at its exit.
#include "formats/WalkSupport.h"

namespace formats {
namespace {

// Sample words longer than this are no numbers DevIL reads.
constexpr std::size_t longestWord = 10;
constexpr std::uint32_t largestSample = 65535;
constexpr std::uint32_t largestByteSample = 255;
// The longest text line DevIL's 180-byte line buffer holds with its terminator.
constexpr std::size_t longestTextLine = 179;

bool isSpace(std::uint32_t byte) {
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\v' ||
           byte == '\f';
}

// The header's separators as DevIL reads them: a blank, LF or CR LF.
bool isHeaderSpace(const Bytes& file, std::size_t at) {
    return file.u8(at) == ' ' || file.u8(at) == '\n' ||
           (file.u8(at) == '\r' && file.u8(at + 1) == '\n');
}

// Moves past header separators and comments to the next word, and returns its length (0 at the
// end, or at a separator DevIL does not take).
std::size_t nextWord(const Bytes& file, std::size_t& at) {
    while (at < file.size()) {
        if (file.u8(at) == '#') {
            while (at < file.size() && file.u8(at) != '\n')
                ++at;
        } else if (isHeaderSpace(file, at)) {
            ++at;
        } else {
            break;
        }
    }
    std::size_t end = at;
    while (end < file.size() && file.u8(end) >= '0' && file.u8(end) <= '9')
        ++end;
    return end - at;
}

// Reads a decimal header number; false when the word is none.
bool readNumber(const Bytes& file, std::size_t& at, std::uint32_t& value) {
    const std::size_t length = nextWord(file, at);
    if (length == 0 || length > longestWord || !isHeaderSpace(file, at + length))
        return false;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < length; ++i)
        number = number * 10 + (file.u8(at + i) - '0');
    at += length;
    value = static_cast<std::uint32_t>(number);
    return number <= 0xFFFFFFFFu;
}

} // namespace

bool walkPnm(const Bytes& file, ImageCheck& check) {
    const std::uint32_t kind = file.u8(1) - '0';
    // DevIL reads the magic as a header word too: a separator or a comment ends it.
    if (file.u8(0) != 'P' || kind < 1 || kind > 6 || !(isHeaderSpace(file, 2) || file.u8(2) == '#'))
        return refuse(check, "no PNM header");
    std::size_t at = 2;
    std::uint32_t width = 0, height = 0, largest = 1;
    if (!readNumber(file, at, width) || !readNumber(file, at, height))
        return refuse(check, "a PNM header cut short, or with separators DevIL does not read");
    declareSize(check, width, height);
    const bool bitmap = kind == 1 || kind == 4;
    if (!bitmap && !readNumber(file, at, largest))
        return refuse(check, "a PNM header cut short, or with separators DevIL does not read");
    if (width == 0 || height == 0 || largest == 0 || largest > largestSample)
        return refuse(check, "a PNM size or sample range DevIL does not read");
    // DevIL fails on text samples over 255, and loops for ever when a comment ends the file.
    if (kind <= 3 && largest > largestByteSample)
        return refuse(check, "a text PNM with samples over 255, which DevIL does not read");
    const std::uint64_t channels = kind == 3 || kind == 6 ? 3 : 1;
    const std::uint64_t samples = check.totalPixels * channels;
    if (kind >= 4) {
        const std::uint64_t sampleBytes = largest > largestByteSample ? 2 : 1;
        const std::uint64_t needed =
            bitmap ? (static_cast<std::uint64_t>(width) + 7) / 8 * height : samples * sampleBytes;
        // After the header's last number: one separator, CR LF counting as one.
        const std::size_t pixels = at + (file.u8(at) == '\r' ? 2 : 1);
        return file.holds(pixels, needed)
                   ? true
                   : refuse(check, "the PNM pixels reach past the end of the file");
    }
    // Text samples: lines of words of digits (a bitmap's one digit each: DevIL does not read
    // them side by side) separated by white space, or comment lines; the sample lines start
    // after the header's last separator.
    std::uint64_t found = 0;
    for (std::size_t line = at + 1; found < samples; ++line) {
        std::size_t end = line;
        while (end < file.size() && file.u8(end) != '\n')
            ++end;
        if (line >= file.size())
            return refuse(check, "PNM samples DevIL does not read, or too few");
        if (end - line > longestTextLine)
            return refuse(check, "a text PNM line longer than DevIL reads (179 characters)");
        const bool comment = file.u8(line) == '#';
        std::uint64_t words = 0;
        for (std::size_t word = line; word < end;) {
            std::size_t length = 0;
            while (file.u8(word + length) >= '0' && file.u8(word + length) <= '9')
                ++length;
            if (comment ? file.u8(word) == 0 : length == 0 && !isSpace(file.u8(word)))
                return refuse(check, "PNM samples DevIL does not read, or too few");
            if (!comment && length > (bitmap ? 1 : longestWord))
                return refuse(check, "PNM samples DevIL does not read, or too few");
            words += length > 0 && !comment ? 1 : 0;
            word += length > 0 ? length : 1;
        }
        if (!comment && words == 0 && end > line)
            return refuse(check, "a text PNM line of blanks alone, which DevIL reads past");
        if (found + words > samples)
            return refuse(check, "a text PNM line holding samples past the picture's end");
        found += words;
        line = end;
    }
    return true;
}

} // namespace formats
