#include "formats/ImageCheck.h"

#include "formats/WalkSupport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <tuple>

namespace formats {

bool Bytes::startsWith(std::size_t offset, const char* text, std::size_t count) const {
    // holds() keeps both pointers non-null: no file fires the sanitizer's null-argument checks.
    return holds(offset, count) && std::memcmp(data + offset, text, count) == 0;
}

void declareSize(ImageCheck& check, std::uint32_t width, std::uint32_t height) {
    check.sizeKnown = true;
    check.width = width;
    check.height = height;
    check.totalPixels = static_cast<std::uint64_t>(width) * height;
}

bool spend(const Bytes& file, ImageCheck& check, std::uint64_t steps) {
    check.work += steps;
    return check.work <= stepsPerByte * file.size() + baseSteps;
}

bool refuse(ImageCheck& check, const std::string& reason) {
    check.reason = reason;
    return false;
}

} // namespace formats

namespace {

using Walk = bool (*)(const formats::Bytes&, ImageCheck&);

// The extensions DevIL gives to each decoder the game uses.
const std::array<std::tuple<const char*, ImageFormat, Walk>, 30> extensions{{
    {"png", ImageFormat::Png, formats::walkPng},   {"jpg", ImageFormat::Jpeg, formats::walkJpeg},
    {"jpe", ImageFormat::Jpeg, formats::walkJpeg}, {"jpeg", ImageFormat::Jpeg, formats::walkJpeg},
    {"jif", ImageFormat::Jpeg, formats::walkJpeg}, {"jfif", ImageFormat::Jpeg, formats::walkJpeg},
    {"bmp", ImageFormat::Bmp, formats::walkBmp},   {"dib", ImageFormat::Bmp, formats::walkBmp},
    {"tga", ImageFormat::Tga, formats::walkTga},   {"vda", ImageFormat::Tga, formats::walkTga},
    {"icb", ImageFormat::Tga, formats::walkTga},   {"vst", ImageFormat::Tga, formats::walkTga},
    {"dds", ImageFormat::Dds, formats::walkDds},   {"gif", ImageFormat::Gif, formats::walkGif},
    {"tif", ImageFormat::Tiff, formats::walkTiff}, {"tiff", ImageFormat::Tiff, formats::walkTiff},
    {"psd", ImageFormat::Psd, formats::walkPsd},   {"pdd", ImageFormat::Psd, formats::walkPsd},
    {"ico", ImageFormat::Ico, formats::walkIco},   {"cur", ImageFormat::Ico, formats::walkIco},
    {"pbm", ImageFormat::Pnm, formats::walkPnm},   {"pgm", ImageFormat::Pnm, formats::walkPnm},
    {"ppm", ImageFormat::Pnm, formats::walkPnm},   {"pnm", ImageFormat::Pnm, formats::walkPnm},
    {"pcx", ImageFormat::Pcx, formats::walkPcx},   {"sgi", ImageFormat::Sgi, formats::walkSgi},
    {"rgb", ImageFormat::Sgi, formats::walkSgi},   {"rgba", ImageFormat::Sgi, formats::walkSgi},
    {"bw", ImageFormat::Sgi, formats::walkSgi},    {"hdr", ImageFormat::Hdr, formats::walkHdr},
}};

} // namespace

ImageCheck ImageCheck::examine(const std::string& fileName, const std::uint8_t* bytes,
                               std::size_t length) {
    ImageCheck check;
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos)
        return check;
    std::string extension = fileName.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    Walk walk = nullptr;
    for (const auto& [name, format, formatWalk] : extensions)
        if (extension == name) {
            check.format = format;
            walk = formatWalk;
        }
    if (walk == nullptr)
        return check;
    if (bytes == nullptr)
        length = 0;
    check.decodable = walk(formats::Bytes(bytes, length), check);
    // decodable holds a walk's answer: no file fires the sanitizer's check of a bool here.
    if (check.decodable && check.totalPixels > formats::largestTotalPixels) {
        check.decodable = false;
        check.tooLarge = true;
        check.reason = "its pictures together are larger than any texture";
    }
    return check;
}
