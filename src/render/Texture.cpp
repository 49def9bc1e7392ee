#include "render/Texture.h"

#include "app/ConsolePause.h"
#include "render/DdsImage.h"

#include <IL/il.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

const char* const Texture::textureDirectory = "Resources/textures/";

namespace {

constexpr int exitStatusUndecodableImage = -1;
const std::string ddsExtension = ".DDS";

bool hasDdsExtension(const std::string& fileName) {
    return fileName.size() >= ddsExtension.size() &&
           fileName.compare(fileName.size() - ddsExtension.size(), ddsExtension.size(),
                            ddsExtension) == 0;
}

// Uploads the stored levels of a DXT file as they are; the driver gets no filtering or wrapping
// parameters, so the texture keeps OpenGL's defaults.
GLuint loadDds(std::ifstream& file) {
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    DdsImage image;
    if (!DdsImage::parse(bytes.data(), bytes.size(), image))
        return 0;

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLint level = 0;
    for (const DdsLevel& stored : image.levels) {
        glCompressedTexImage2D(
            GL_TEXTURE_2D, level++, image.glFormat, static_cast<GLsizei>(stored.width),
            static_cast<GLsizei>(stored.height), 0, static_cast<GLsizei>(stored.size),
            image.data.data() + stored.offset);
    }
    return name;
}

// Every format but DDS goes through DevIL. Its format and type codes equal OpenGL's, so they are
// handed on unchanged; OpenGL builds the mip chain.
GLuint loadImage(const std::string& path) {
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    if (!ilLoadImage(path.c_str())) {
        const ILenum error = ilGetError();
        std::cerr << path << " could not be decoded as an image (DevIL error 0x" << std::hex
                  << error << std::dec << ")." << std::endl;
        std::exit(exitStatusUndecodableImage);
    }
    const ILubyte* data = ilGetData();
    if (data == nullptr) {
        ilBindImage(0);
        ilDeleteImages(1, &image);
        return 0;
    }
    const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    const ILint type = ilGetInteger(IL_IMAGE_TYPE);
    const ILint format = ilGetInteger(IL_IMAGE_FORMAT);

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

GLuint Texture::load(const std::string& fileName) {
    const std::string path = textureDirectory + fileName;
    std::ifstream file(path, std::ios::binary);
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
    id = hasDdsExtension(fileName) ? loadDds(file) : loadImage(path);
    return id;
}
