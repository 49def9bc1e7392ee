// JPEG: after the start-of-image marker, segments of a 0xFF marker and a big-endian length that
// counts itself, up to the end marker; a start-of-scan segment is followed by entropy-coded data.
// DevIL's reader loops for ever once the data ends early. Bytes between segments that are no
// marker are skipped, as libjpeg skips them with a warning.
#include "formats/WalkSupport.h"

namespace formats {
namespace {

constexpr std::uint8_t markerByte = 0xFF;
constexpr std::uint8_t startOfImage = 0xD8;
constexpr std::uint8_t startOfScan = 0xDA;
constexpr std::uint8_t endOfImage = 0xD9;
constexpr std::uint8_t temporary = 0x01;
constexpr std::uint8_t firstRestart = 0xD0;
constexpr std::uint8_t lastRestart = 0xD7;
constexpr std::uint8_t firstFrame = 0xC0;
constexpr std::uint8_t lastFrame = 0xCF;
constexpr std::uint8_t huffmanTable = 0xC4;
constexpr std::uint8_t extension = 0xC8;
constexpr std::uint8_t arithmeticTable = 0xCC;
// Inside a frame segment, after its length and precision.
constexpr std::size_t frameHeightOffset = 3;
constexpr std::size_t frameWidthOffset = 5;
constexpr std::size_t frameComponentsOffset = 7;
constexpr std::uint32_t cmykComponents = 4;
constexpr std::size_t smallestSegment = 2;

bool isFrame(std::uint8_t marker) {
    return marker >= firstFrame && marker <= lastFrame && marker != huffmanTable &&
           marker != extension && marker != arithmeticTable;
}

bool isRestart(std::uint8_t marker) {
    return marker >= firstRestart && marker <= lastRestart;
}

// Finds the next marker from `at` as libjpeg does: skips other bytes, then fill bytes; a
// stuffed zero is no marker. False when the file ends first.
bool nextMarker(const Bytes& file, std::size_t& at, std::uint8_t& marker) {
    while (at < file.size()) {
        if (file.u8(at) != markerByte) {
            ++at;
            continue;
        }
        while (at < file.size() && file.u8(at) == markerByte)
            ++at;
        if (at >= file.size())
            return false;
        marker = static_cast<std::uint8_t>(file.u8(at++));
        if (marker != 0)
            return true;
    }
    return false;
}

// Skips entropy-coded data: every 0xFF in it is followed by a stuffed zero or is a restart
// marker; the first other marker ends the scan. Returns where that marker starts.
std::size_t endOfScan(const Bytes& file, std::size_t at) {
    while (at < file.size()) {
        if (file.u8(at) != markerByte) {
            ++at;
            continue;
        }
        if (!file.holds(at, 2))
            return file.size();
        const std::uint32_t next = file.u8(at + 1);
        if (next == 0x00 || isRestart(static_cast<std::uint8_t>(next)))
            at += 2;
        else if (next == markerByte)
            ++at; // a fill byte before a marker
        else
            return at;
    }
    return file.size();
}

} // namespace

bool walkJpeg(const Bytes& file, ImageCheck& check) {
    if (file.u8(0) != markerByte || file.u8(1) != startOfImage)
        return refuse(check, "no JPEG start-of-image marker");
    std::size_t at = 2;
    bool framed = false;
    std::uint8_t marker = 0;
    while (nextMarker(file, at, marker)) {
        if (marker == endOfImage)
            return true;
        if (marker == temporary || isRestart(marker))
            continue; // markers without a segment
        const std::size_t segment = file.be16(at);
        // The size is known as soon as the frame header's first fields are.
        if (isFrame(marker) && !framed && segment >= frameWidthOffset + 2 &&
            file.holds(at, frameWidthOffset + 2)) {
            declareSize(check, file.be16(at + frameWidthOffset), file.be16(at + frameHeightOffset));
            framed = true;
        }
        if (!file.holds(at, 2) || segment < smallestSegment || !file.holds(at, segment))
            return refuse(check, "a JPEG segment reaches past the end of the file");
        // DevIL hands CMYK over as RGBA without applying the black: the colours come out wrong.
        if (isFrame(marker) && segment > frameComponentsOffset &&
            file.u8(at + frameComponentsOffset) == cmykComponents)
            return refuse(check, "a four-component (CMYK) JPEG, whose black DevIL leaves out");
        at += segment;
        if (marker == startOfScan)
            at = endOfScan(file, at);
    }
    return refuse(check, "the JPEG file ends before its end marker");
}

} // namespace formats
