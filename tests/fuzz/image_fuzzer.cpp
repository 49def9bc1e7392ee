// Fuzzes texture loading through Texture::load, as the game loads: DevIL's decoded pictures
// reach the game's upload, ".DDS" files our own reader, whose result must be consistent. No
// OpenGL error, no memory touched that is not ours; a known DDS format, and an image DevIL
// accepts (within OpenGL's largest edge, convertible to RGBA), give a texture. The first byte
// chooses the extension (byte % 14: every format the game hands to DevIL), the rest is the
// file. Skipped: what the game ends on by design (the walk refuses it, or DevIL cannot decode
// it), and pictures (all frames together) over 2048 x 2048, whose cost (up to a gigabyte) is
// honest. Run with -max_len=16384 -timeout=10 -rss_limit_mb=2048
// -close_fd_mask=1 and ASAN_OPTIONS=detect_leaks=0 (DevIL's image table hides our leaks anyway).
#include "FuzzSupport.h"
#include "TestSupport.h"

#include "formats/DdsImage.h"
#include "formats/ImageCheck.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <array>
#include <optional>
#include <string>

using fuzz_support::require;

namespace {

constexpr std::array<const char*, 14> extensions{".png", ".tga", ".bmp", ".jpg", ".DDS",
                                                 ".dds", ".gif", ".tif", ".psd", ".ico",
                                                 ".ppm", ".pcx", ".sgi", ".hdr"};
constexpr std::size_t ddsChoice = 4;
constexpr std::uint64_t largestDecodedPixels = 2048 * 2048;

GLint maxTextureEdge() {
    GLint edge = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &edge);
    return edge;
}

// Whether the game must get a texture from a file DevIL decodes to pixel data, asked the way
// the game's loader asks; nullopt when DevIL refuses it.
std::optional<bool> devilGivesTexture(const std::string& path, const std::uint8_t* data,
                                      std::size_t size) {
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    std::optional<bool> verdict;
    if (ilLoadL(ilTypeFromExt(path.c_str()), data, static_cast<ILuint>(size)) &&
        ilGetData() != nullptr) {
        const GLint maxEdge = maxTextureEdge();
        // Bytes per pixel as format and type say, within OpenGL's largest edge, convertible
        // to 8-bit RGBA (a palette image without palette is not).
        verdict = Texture::decodedLayoutConsistent() && ilGetInteger(IL_IMAGE_WIDTH) <= maxEdge &&
                  ilGetInteger(IL_IMAGE_HEIGHT) <= maxEdge &&
                  ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE) && ilGetData() != nullptr;
    }
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilBindImage(0);
    ilDeleteImages(1, &image);
    return verdict;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    fuzz_support::startLoadingFuzzer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t choice = data[0] % extensions.size();
    const std::string fileName = std::string("fuzz") + extensions[choice];
    const std::string path = std::string(Texture::textureDirectory) + fileName;
    testing_support::writeFile(path,
                               std::string(reinterpret_cast<const char*>(data + 1), size - 1));

    bool mustGiveTexture = false;
    if (choice == ddsChoice) {
        DdsImage parsed;
        mustGiveTexture = DdsImage::parse(data + 1, size - 1, parsed);
        // Success means a known format; the levels lie back to back inside the data kept, which
        // lies inside the file.
        require(mustGiveTexture == (parsed.glFormat != 0) && parsed.data.size() < size &&
                    parsed.levels.size() <= parsed.mipMapCount,
                "the DDS reader's result contradicts itself");
        std::size_t end = 0;
        for (const DdsLevel& level : parsed.levels) {
            require(level.offset == end && level.size <= parsed.data.size() - level.offset &&
                        (level.size != 0 || level.width == 0 || level.height == 0),
                    "a DDS level lies outside the data or overlaps another");
            end = level.offset + level.size;
        }
    } else {
        const ImageCheck check = ImageCheck::examine(fileName, data + 1, size - 1);
        if (check.sizeKnown) {
            const auto maxEdge = static_cast<std::uint32_t>(maxTextureEdge());
            if (check.width > maxEdge || check.height > maxEdge) {
                // Refused by its header alone, before DevIL is asked.
                require(Texture().load(fileName) == 0, "a picture larger than a texture loaded");
                fuzz_support::trapOnGlErrors("refusing a large picture");
                return 0;
            }
        }
        if (!check.decodable || check.totalPixels > largestDecodedPixels)
            return -1;
        const std::optional<bool> verdict = devilGivesTexture(path, data + 1, size - 1);
        if (!verdict)
            return -1;
        mustGiveTexture = *verdict;
    }

    Texture texture;
    texture.load(fileName);
    fuzz_support::trapOnGlErrors("texture loading");
    require(!mustGiveTexture || texture.id != 0, "an accepted image gave no texture");
    glDeleteTextures(1, &texture.id);
    return 0;
}
