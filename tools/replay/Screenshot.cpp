#include "Screenshot.h"

#include <GL/glew.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <vector>

bool writeScreenshot(const std::filesystem::path& file, int width, int height, std::string& error) {
    constexpr int channels = 3;
    if (width <= 0 || height <= 0) {
        error =
            "nothing to read back (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return false;
    }
    GLint readFramebuffer{}, readBuffer{}, packAlignment{};
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);

    std::vector<unsigned char> pixels(size_t(width) * size_t(height) * channels);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
    glReadBuffer(GLenum(readBuffer));
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);

    // OpenGL's rows start at the bottom, a PNG's at the top.
    stbi_flip_vertically_on_write(1);
    if (!stbi_write_png(file.c_str(), width, height, channels, pixels.data(), width * channels)) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}
