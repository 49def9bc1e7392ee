// Fuzzes texture loading: the input is written under Resources/textures/ and loaded through
// Texture::load, so DevIL's decoded width, height, format and type reach the game's upload just
// as they do in the game, and ".DDS" files go through our own reader and upload. Loading must
// cause no OpenGL error and touch no memory it does not own; an image DevIL accepted (unless it
// is larger than OpenGL allows, or cannot be made RGBA), and a DDS file with a known format,
// must give a texture.
//
// The first byte chooses the extension (byte % 6: ".png", ".tga", ".bmp", ".jpg", ".DDS",
// ".dds"); the remaining bytes are the file. The game ends its process on an image DevIL
// cannot decode, by design, so every non-DDS input is first offered to DevIL here and skipped
// when refused; so are files whose walk fails (ImageHeader::decodable), which the game refuses
// the same way before DevIL sees them.
//
// Slowness and memory are findings too: run with a time limit per input and a memory limit, so
// that an input that takes DevIL longer or more memory than the limits is saved as a crash
// file. Only pictures larger than 2048 x 2048 pixels are skipped: their decoding is honestly
// costly (up to a gigabyte at the largest texture edge), which is no finding.
//
// Build and run from the repository root. The fuzzer needs a display; it works in a temporary
// game directory, so corpus and artifact paths must be absolute. Leak checking is off: DevIL
// keeps every image it was given in its own table, so the check could not see our leaks anyway.
//
//   CC=clang CXX=clang++ cmake -S . -B build-harden-fuzz -G Ninja -DZEPHRANE_FUZZ=ON \
//       -DCMAKE_BUILD_TYPE=RelWithDebInfo
//   cmake --build build-harden-fuzz --target image_fuzzer
//   mkdir -p /tmp/image-corpus
//   ASAN_OPTIONS=detect_leaks=0 \
//   xvfb-run -a -s "-screen 0 640x480x24" build-harden-fuzz/tests/fuzz/image_fuzzer \
//       -max_total_time=1800 -max_len=16384 -timeout=10 -rss_limit_mb=2048 -close_fd_mask=1 \
//       -artifact_prefix=$PWD/ -dict=$PWD/tests/fuzz/image.dict \
//       /tmp/image-corpus $PWD/tests/fuzz/corpus/image </dev/null
//
// DevIL and its decoders are not instrumented: inside them the fuzzer is guided only by the
// corpus and the dictionary.
#include "FuzzSupport.h"

#include "render/DdsImage.h"
#include "render/ImageHeader.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr std::array<const char*, 6> extensions{".png", ".tga", ".bmp", ".jpg", ".DDS", ".dds"};
constexpr std::size_t ddsChoice = 4;
// Pictures that fit a texture but would take DevIL seconds and gigabytes to decode are skipped:
// a slow start-up on a 16384-pixel texture is no finding, and it would stall the fuzzing.
constexpr std::uint64_t largestDecodedPixels = 2048 * 2048;

GLint maxTextureEdge() {
    GLint edge = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &edge);
    return edge;
}

struct DevilVerdict {
    bool accepted = false;
    bool fitsTexture = false; // within OpenGL's largest texture edge
    bool convertible = false; // to 8-bit RGBA: a palette image without palette is not
    bool consistent = false;  // bytes per pixel as its format and type say
};

// Whether DevIL decodes the file to pixel data, asked the way the game's loader asks: from the
// bytes in memory, with the decoder the extension names.
DevilVerdict askDevil(const std::string& path, const std::uint8_t* data, std::size_t size) {
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    DevilVerdict verdict;
    verdict.accepted = ilLoadL(ilTypeFromExt(path.c_str()), data, static_cast<ILuint>(size)) &&
                       ilGetData() != nullptr;
    if (verdict.accepted) {
        verdict.consistent = Texture::decodedLayoutConsistent();
        const GLint maxEdge = maxTextureEdge();
        verdict.fitsTexture =
            ilGetInteger(IL_IMAGE_WIDTH) <= maxEdge && ilGetInteger(IL_IMAGE_HEIGHT) <= maxEdge;
        verdict.convertible = ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE) && ilGetData() != nullptr;
    }
    while (ilGetError() != IL_NO_ERROR) {
    }
    ilBindImage(0);
    ilDeleteImages(1, &image);
    return verdict;
}

void require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "image_fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    if (std::freopen("/dev/null", "r", stdin) == nullptr)
        std::abort();
    fuzz_support::startHiddenGlContext();
    fuzz_support::enterGameWorkingDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t choice = data[0] % extensions.size();
    const std::string fileName = std::string("fuzz") + extensions[choice];
    const std::string path = std::string(Texture::textureDirectory) + fileName;
    fuzz_support::writeBytes(path, data + 1, size - 1);

    bool mustGiveTexture = false;
    if (choice == ddsChoice) {
        DdsImage parsed;
        mustGiveTexture = DdsImage::parse(data + 1, size - 1, parsed);
    } else {
        ImageHeader declared;
        if (ImageHeader::read(fileName, data + 1, size - 1, declared)) {
            const auto maxEdge = static_cast<std::uint32_t>(maxTextureEdge());
            if (declared.width > maxEdge || declared.height > maxEdge) {
                // Refused by its header alone, before DevIL is asked.
                Texture texture;
                require(texture.load(fileName) == 0, "a picture larger than a texture loaded");
                fuzz_support::trapOnGlErrors("refusing a large picture");
                return 0;
            }
            if (static_cast<std::uint64_t>(declared.width) * declared.height > largestDecodedPixels)
                return -1;
        }
        // The game refuses these itself, by ending (DevIL would never return on them).
        if (!ImageHeader::decodable(fileName, data + 1, size - 1))
            return -1;
        const DevilVerdict verdict = askDevil(path, data + 1, size - 1);
        if (!verdict.accepted)
            return -1;
        mustGiveTexture = verdict.fitsTexture && verdict.consistent && verdict.convertible;
    }

    Texture texture;
    texture.load(fileName);
    fuzz_support::trapOnGlErrors("texture loading");
    require(!mustGiveTexture || texture.id != 0, "an accepted image gave no texture");
    glDeleteTextures(1, &texture.id);
    return 0;
}
