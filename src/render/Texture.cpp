#include "render/Texture.h"

#include "formats/DdsImage.h"
#include "formats/ImageCheck.h"
#include "platform/ConsolePause.h"

#include <IL/il.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

const char* const Texture::textureDirectory = "Resources/textures/";

namespace {

constexpr int exitStatusUndecodableImage = -1;
// DevIL takes an image's size as a 32-bit count.
constexpr std::size_t largestImageFileBytes = 0xFFFFFFFFu;
const std::string ddsExtension = ".DDS";

bool hasDdsExtension(const std::string& fileName) {
    return fileName.size() >= ddsExtension.size() &&
           fileName.compare(fileName.size() - ddsExtension.size(), ddsExtension.size(),
                            ddsExtension) == 0;
}

GLint maxTextureEdge() {
    GLint edge = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &edge);
    return edge;
}

// The last mip level a texture of the largest edge has: its edge halves down to one pixel.
GLint maxMipLevel(GLint maxEdge) {
    GLint level = 0;
    while ((maxEdge >>= 1) > 0)
        ++level;
    return level;
}

// The DevIL formats and types whose codes a core context accepts unchanged as its own.
bool uploadableAsDecoded(ILint format, ILint type) {
    switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
    case IL_INT:
    case IL_UNSIGNED_INT:
    case IL_FLOAT:
    case IL_HALF:
        return format == IL_RGB || format == IL_RGBA;
    default:
        return false;
    }
}

int channelsOf(ILint format) {
    switch (format) {
    case IL_COLOUR_INDEX:
    case IL_ALPHA:
    case IL_LUMINANCE:
        return 1;
    case IL_LUMINANCE_ALPHA:
        return 2;
    case IL_RGB:
    case IL_BGR:
        return 3;
    case IL_RGBA:
    case IL_BGRA:
        return 4;
    default:
        return 0;
    }
}

int bytesPerChannelOf(ILint type) {
    switch (type) {
    case IL_BYTE:
    case IL_UNSIGNED_BYTE:
        return 1;
    case IL_SHORT:
    case IL_UNSIGNED_SHORT:
    case IL_HALF:
        return 2;
    case IL_INT:
    case IL_UNSIGNED_INT:
    case IL_FLOAT:
        return 4;
    case IL_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

void reportInconsistentLayout(const std::string& path) {
    std::printf("%s was decoded with a pixel layout that does not add up; it is left out.\n",
                path.c_str());
    std::fflush(stdout);
}

GLuint releaseImage(ILuint image) {
    ilBindImage(0);
    ilDeleteImages(1, &image);
    return 0;
}

// The whole file in one read: a stream iterator goes byte by byte, which costs tens of
// milliseconds of start-up for the larger pictures. An empty result for a file that cannot be
// read to its end is refused later like any other damaged file.
std::vector<std::uint8_t> wholeFile(std::ifstream& file) {
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    file.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes;
    if (size <= 0)
        return bytes;
    bytes.resize(static_cast<std::size_t>(size));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), size))
        bytes.clear();
    return bytes;
}

// Uploads the stored levels of a DXT file as they are; the driver gets no filtering or wrapping
// parameters, so the texture keeps OpenGL's defaults.
GLuint loadDds(std::ifstream& file) {
    const std::vector<std::uint8_t> bytes = wholeFile(file);
    DdsImage image;
    if (!DdsImage::parse(bytes.data(), bytes.size(), image))
        return 0;

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLint maxEdge = maxTextureEdge();
    GLint level = 0;
    for (const DdsLevel& stored : image.levels) {
        // A header may announce more or larger levels than OpenGL holds; the driver would
        // refuse them one by one, so the upload stops at the first.
        if (level > maxMipLevel(maxEdge) || stored.width > static_cast<std::uint32_t>(maxEdge) ||
            stored.height > static_cast<std::uint32_t>(maxEdge))
            break;
        glCompressedTexImage2D(
            GL_TEXTURE_2D, level++, image.glFormat, static_cast<GLsizei>(stored.width),
            static_cast<GLsizei>(stored.height), 0, static_cast<GLsizei>(stored.size),
            image.data.data() + stored.offset);
    }
    return name;
}

// The game has no picture to show in its place: it ends, as it does for a broken shader.
[[noreturn]] void refuseUndecodable(const std::string& path, const std::string& reason) {
    std::cerr << path << " could not be decoded as an image (" << reason << ")." << std::endl;
    std::exit(exitStatusUndecodableImage);
}

// Says so, and answers true, when a picture is larger than any texture.
bool tooLargeForTexture(const std::string& path, std::int64_t width, std::int64_t height) {
    const GLint maxEdge = maxTextureEdge();
    if (width <= maxEdge && height <= maxEdge)
        return false;
    std::printf("%s is %lld x %lld pixels, larger than a texture may be (%d).\n", path.c_str(),
                static_cast<long long>(width), static_cast<long long>(height), maxEdge);
    std::fflush(stdout);
    return true;
}

// Every format but DDS goes through DevIL. Its format and type codes equal OpenGL's, so the
// ones a core context takes are handed on unchanged; OpenGL builds the mip chain.
GLuint loadImage(const std::string& path, std::ifstream& file) {
    // The file is read once and walked before DevIL sees a byte of it: DevIL would allocate
    // the whole declared picture before finding it too large, and its readers trust every
    // length a damaged file declares (see ImageCheck). DevIL then decodes these same bytes.
    const std::vector<std::uint8_t> bytes = wholeFile(file);
    const ImageCheck check = ImageCheck::examine(path, bytes.data(), bytes.size());
    if (check.format == ImageFormat::Other)
        refuseUndecodable(path, "not a format the game reads");
    if (check.sizeKnown && tooLargeForTexture(path, check.width, check.height))
        return 0;
    if (check.tooLarge) {
        std::printf("%s holds %llu pixels in all its pictures, more than a texture may be.\n",
                    path.c_str(), static_cast<unsigned long long>(check.totalPixels));
        std::fflush(stdout);
        return 0;
    }
    if (bytes.size() > largestImageFileBytes || !check.decodable)
        refuseUndecodable(path, "its structure is damaged: " + check.reason);

    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (!ilLoadL(ilTypeFromExt(path.c_str()), bytes.data(), static_cast<ILuint>(bytes.size()))) {
        std::ostringstream reason;
        reason << "DevIL error 0x" << std::hex << ilGetError();
        refuseUndecodable(path, reason.str());
    }
    const ILubyte* data = ilGetData();
    if (data == nullptr)
        return releaseImage(image);
    const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    ILint type = ilGetInteger(IL_IMAGE_TYPE);
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    if (tooLargeForTexture(path, width, height))
        return releaseImage(image);
    if (!Texture::decodedLayoutConsistent()) {
        reportInconsistentLayout(path);
        return releaseImage(image);
    }
    // Grey, palette and BGR images, and doubles, are what a core context refuses: the texture
    // would stay empty. They are converted to 8-bit RGBA instead.
    if (!uploadableAsDecoded(format, type)) {
        if (!ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE) || (data = ilGetData()) == nullptr)
            return releaseImage(image);
        type = ilGetInteger(IL_IMAGE_TYPE);
        format = ilGetInteger(IL_IMAGE_FORMAT);
    }

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // DevIL packs its rows tightly; with OpenGL's default 4-byte row alignment an RGB image of
    // odd width would be read past its end.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, static_cast<GLenum>(format),
                 static_cast<GLenum>(type), data);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glGenerateMipmap(GL_TEXTURE_2D);
    ilDeleteImages(1, &image);
    return name;
}

} // namespace

bool Texture::decodedLayoutConsistent() {
    const int bytesPerPixel =
        channelsOf(ilGetInteger(IL_IMAGE_FORMAT)) * bytesPerChannelOf(ilGetInteger(IL_IMAGE_TYPE));
    return bytesPerPixel > 0 && ilGetInteger(IL_IMAGE_BPP) == bytesPerPixel;
}

GLuint Texture::load(const std::string& fileName) {
    const std::string path = textureDirectory + fileName;
    // Only a regular file can hold a picture. A material's empty name or "." names the texture
    // directory itself, which would open and then end the game in DevIL; a device or a pipe
    // could block or never end.
    std::error_code error;
    const bool regular = std::filesystem::is_regular_file(path, error);
    std::ifstream file;
    if (regular)
        file.open(path, std::ios::binary);
    if (!file.is_open()) {
        std::printf("%s could not be opened. Are you in the right directory ? Don't forget to "
                    "read the FAQ !\n",
                    path.c_str());
        std::fflush(stdout);
        waitForCharacter();
        id = 0;
        return id;
    }
    // The extension decides, never the file's magic: a lower-case ".dds" goes to DevIL.
    id = hasDdsExtension(fileName) ? loadDds(file) : loadImage(path, file);
    return id;
}
