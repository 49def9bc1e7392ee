// PSD: a 26-byte header ("8BPS", version 1, six reserved bytes, channels, height, width, depth,
// colour mode; big-endian), then three sections each led by its 32-bit length (colour mode
// data, image resources, layers and masks), then the merged picture: a compression word and
// every channel's rows, raw or PackBits-compressed with a table of each row's byte count first.
// DevIL allocates each section as long as its length says, and decodes compressed rows as long
// as the picture needs, trusting the counts.
#include "formats/WalkSupport.h"

namespace formats {
namespace {

constexpr std::size_t headerBytes = 26;
constexpr std::size_t versionOffset = 4;
constexpr std::size_t channelsOffset = 12;
constexpr std::size_t heightOffset = 14;
constexpr std::size_t widthOffset = 18;
constexpr std::size_t depthOffset = 22;
constexpr std::size_t modeOffset = 24;
constexpr std::uint32_t version = 1;
constexpr std::uint32_t mostChannels = 24;
// The largest picture edge Photoshop's own format allows.
constexpr std::uint32_t largestEdge = 30000;
constexpr std::uint32_t greyMode = 1, indexedMode = 2, rgbMode = 3, cmykMode = 4;
// An indexed picture's colour mode data is its palette: 256 RGB entries.
constexpr std::uint32_t paletteBytes = 768;
constexpr std::uint32_t raw = 0, packBits = 1;
constexpr std::size_t resourceHeadBytes = 12; // "8BIM", ID, empty name, length
constexpr std::size_t resourceNameOffset = 6;
constexpr int resourcesSection = 1;

// The channels each colour mode needs at least.
std::uint32_t leastChannels(std::uint32_t mode) {
    switch (mode) {
    case greyMode:
    case indexedMode:
        return 1;
    case rgbMode:
        return 3;
    case cmykMode:
        return 4;
    default:
        return 0;
    }
}

// One PackBits row: runs and literals that give exactly rowBytes bytes from `count` bytes.
bool packBitsRow(const Bytes& file, std::size_t at, std::uint32_t count, std::uint64_t rowBytes) {
    const std::size_t end = at + count;
    std::uint64_t produced = 0;
    while (at < end && produced < rowBytes) {
        const std::uint32_t head = file.u8(at++);
        if (head < 128) { // head + 1 literal bytes
            produced += head + 1;
            at += head + 1;
        } else if (head > 128) { // one byte repeated 257 - head times
            produced += 257 - head;
            ++at;
        }
    }
    return at <= end && produced == rowBytes;
}

// The image resources: blocks of "8BIM", an ID, a padded name, a 32-bit length and the padded
// data. DevIL walks them for a colour profile, whose length it allocates and copies; a block that
// does not start with "8BIM" ends the walk.
bool resourcesInside(const Bytes& file, std::size_t at, std::size_t end) {
    while (end - at >= resourceHeadBytes && file.startsWith(at, "8BIM", 4)) {
        const std::size_t name = file.u8(at + resourceNameOffset) | 1; // with its length byte: even
        const std::size_t lengthAt = at + resourceNameOffset + 1 + name;
        const std::uint64_t length = file.be32(lengthAt);
        if (lengthAt + 4 > end || length + (length & 1) > end - lengthAt - 4)
            return false;
        at = lengthAt + 4 + length + (length & 1);
    }
    return true;
}

} // namespace

bool walkPsd(const Bytes& file, ImageCheck& check) {
    if (!file.holds(0, headerBytes) || !file.startsWith(0, "8BPS", 4))
        return refuse(check, "no PSD header");
    const std::uint32_t width = file.be32(widthOffset), height = file.be32(heightOffset);
    declareSize(check, width, height);
    const std::uint32_t channels = file.be16(channelsOffset), depth = file.be16(depthOffset);
    const std::uint32_t mode = file.be16(modeOffset);
    if (file.be16(versionOffset) != version || width == 0 || height == 0 || width > largestEdge ||
        height > largestEdge)
        return refuse(check, "a PSD header DevIL does not take");
    if (leastChannels(mode) == 0 || channels < leastChannels(mode) || channels > mostChannels ||
        (depth != 8 && depth != 16) || (mode == indexedMode && depth != 8))
        return refuse(check, "a PSD colour mode, depth or channel count DevIL does not read");
    std::size_t at = headerBytes;
    for (int section = 0; section < 3; ++section) {
        const std::uint32_t length = file.be32(at);
        if (!file.holds(at, 4) || !file.holds(at + 4, length) ||
            (section == 0 && mode == indexedMode && length != paletteBytes))
            return refuse(check, "a PSD section reaches past the end of the file");
        if (section == resourcesSection && !resourcesInside(file, at + 4, at + 4 + length))
            return refuse(check, "a PSD image resource reaches past its section");
        at += 4 + length;
    }
    const std::uint32_t compression = file.be16(at);
    at += 2;
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * (depth / 8);
    const std::uint64_t rows = static_cast<std::uint64_t>(channels) * height;
    if (compression == raw)
        return file.holds(at, rows * rowBytes)
                   ? true
                   : refuse(check, "the PSD channels reach past the end of the file");
    if (compression != packBits)
        return refuse(check, "a PSD compression DevIL does not read");
    if (!file.holds(at, rows * 2))
        return refuse(check, "the PSD row counts reach past the end of the file");
    std::size_t data = at + rows * 2;
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint32_t count = file.be16(at + 2 * row);
        if (!file.holds(data, count) || !packBitsRow(file, data, count, rowBytes))
            return refuse(check, "a PSD row's compressed data does not give the row");
        data += count;
    }
    return true;
}

} // namespace formats
