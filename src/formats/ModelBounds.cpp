#include "formats/ModelBounds.h"

#include "formats/WalkSupport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

// Binary FBX: a 21-byte magic, two bytes and a 32-bit version, then node records. Each record
// is its end offset (from the file's start), its property count, its properties' byte length,
// a name length byte and the name, the properties, and then nested records up to the end
// offset. From version 7500 on the first three fields are 64-bit. A record of zeros ends a
// list.
constexpr std::array<char, 21> fbxMagic{'K', 'a', 'y', 'd', 'a', 'r', 'a', ' ', 'F', 'B', 'X',
                                        ' ', 'B', 'i', 'n', 'a', 'r', 'y', ' ', ' ', '\0'};
constexpr std::size_t fbxVersionOffset = 23;
constexpr std::size_t fbxFirstRecord = 27;
constexpr std::uint32_t fbxWideVersion = 7500;
// Real scenes nest a handful of levels; Assimp descends into every one by recursion.
constexpr int fbxDeepestNesting = 64;
// An array property: element count, encoding (0 stored, 1 deflated), stored byte count.
constexpr std::size_t fbxArrayHeaderBytes = 12;
constexpr std::uint32_t fbxStored = 0;
constexpr std::uint32_t fbxDeflated = 1;
// Deflate never turns one byte into more than 1032.
constexpr std::uint64_t deflateLargestExpansion = 1032;

class FbxWalk {
public:
    FbxWalk(const formats::Bytes& file, bool wide)
        : file(file), fieldBytes(wide ? 8 : 4), headerBytes(3 * fieldBytes + 1) {}

    // The records from `at` up to `end`; at the top level the zero record ends them and the
    // file's footer follows.
    bool records(std::size_t at, std::size_t end, int depth) {
        if (depth > fbxDeepestNesting)
            return refuse("nodes nested too deeply");
        while (end - at >= headerBytes) {
            const std::uint64_t recordEnd = field(at);
            const std::uint64_t properties = field(at + fieldBytes);
            const std::uint64_t propertyBytes = field(at + 2 * fieldBytes);
            const std::uint32_t nameBytes = file.u8(at + 3 * fieldBytes);
            if (recordEnd == 0 && properties == 0 && propertyBytes == 0 && nameBytes == 0) {
                if (depth == 0)
                    return true;
                at += headerBytes;
                continue;
            }
            const std::uint64_t propertiesStart = at + headerBytes + nameBytes;
            if (recordEnd <= at || recordEnd > end || propertiesStart > recordEnd ||
                propertyBytes > recordEnd - propertiesStart)
                return refuse("a node reaches past its parent or the end of the file");
            const std::size_t nestedStart = propertiesStart + propertyBytes;
            if (!propertyList(propertiesStart, nestedStart, properties) ||
                !records(nestedStart, recordEnd, depth + 1))
                return false;
            at = recordEnd;
        }
        return depth > 0 || at == end || refuse("a node record is cut short");
    }

    std::string reason;

private:
    // A record header's field, 32 or 64 bits wide.
    std::uint64_t field(std::size_t at) const {
        return fieldBytes == 8 ? file.le64(at) : file.le32(at);
    }

    bool refuse(const char* why) {
        reason = why;
        return false;
    }

    bool propertyList(std::size_t at, std::size_t end, std::uint64_t count) {
        for (std::uint64_t i = 0; i < count; ++i) {
            if (at >= end)
                return refuse("a node has fewer properties than it declares");
            const char type = static_cast<char>(file.u8(at++));
            std::uint64_t size = 0;
            switch (type) {
            case 'C':
                size = 1;
                break;
            case 'Y':
                size = 2;
                break;
            case 'I':
            case 'F':
                size = 4;
                break;
            case 'D':
            case 'L':
                size = 8;
                break;
            case 'S':
            case 'R':
                if (end - at < 4)
                    return refuse("a string property is cut short");
                size = 4 + std::uint64_t{file.le32(at)};
                break;
            case 'f':
            case 'i':
            case 'd':
            case 'l':
            case 'b':
            case 'c':
                if (!array(type, at, end, size))
                    return false;
                break;
            default:
                return refuse("a property of unknown type");
            }
            if (size > end - at)
                return refuse("a property reaches past its node");
            at += size;
        }
        return true;
    }

    bool array(char type, std::size_t at, std::size_t end, std::uint64_t& size) {
        if (end - at < fbxArrayHeaderBytes)
            return refuse("an array property is cut short");
        const std::uint64_t elements = file.le32(at);
        const std::uint64_t encoding = file.le32(at + 4);
        const std::uint64_t stored = file.le32(at + 8);
        const std::uint64_t elementBytes = type == 'd' || type == 'l'   ? 8
                                           : type == 'b' || type == 'c' ? 1
                                                                        : 4;
        const std::uint64_t declared = elements * elementBytes;
        size = fbxArrayHeaderBytes + stored;
        if (encoding == fbxStored && declared == stored)
            return true;
        if (encoding == fbxDeflated && declared <= stored * deflateLargestExpansion)
            return true;
        return refuse("an array declares more elements than its data can hold");
    }

    const formats::Bytes& file;
    std::size_t fieldBytes;
    std::size_t headerBytes;
};

bool isFbxName(const std::string& fileName) {
    if (fileName.size() < 4)
        return false;
    std::string extension = fileName.substr(fileName.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".fbx";
}

// FBX in text announces an array's element count as "*count", and Assimp reserves room for
// that many before it reads one. Every element takes a byte of the file at least.
bool textCountsPlausible(const std::uint8_t* bytes, std::size_t length) {
    for (std::size_t at = 0; at < length; ++at) {
        if (bytes[at] != '*')
            continue;
        std::uint64_t count = 0;
        for (std::size_t digit = at + 1; digit < length && std::isdigit(bytes[digit]); ++digit) {
            count = count * 10 + (bytes[digit] - '0');
            if (count > length)
                return false;
        }
    }
    return true;
}

} // namespace

bool ModelBounds::check(const std::string& fileName, const std::uint8_t* bytes, std::size_t length,
                        std::string& reason) {
    reason.clear();
    if (bytes == nullptr)
        return true; // an empty file: Assimp has nothing to trust
    if (length >= fbxFirstRecord && std::equal(fbxMagic.begin(), fbxMagic.end(), bytes)) {
        const formats::Bytes file(bytes, length);
        const bool wide = file.le32(fbxVersionOffset) >= fbxWideVersion;
        FbxWalk walk(file, wide);
        if (walk.records(fbxFirstRecord, length, 0))
            return true;
        reason = "binary FBX: " + walk.reason;
        return false;
    }
    if (isFbxName(fileName) && !textCountsPlausible(bytes, length)) {
        reason = "FBX: an array announces more elements than the file has bytes";
        return false;
    }
    return true;
}

bool ModelBounds::checkFile(const std::string& path, std::string& reason) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    return check(path, bytes.data(), bytes.size(), reason);
}
