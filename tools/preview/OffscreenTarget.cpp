#include "OffscreenTarget.h"

#include <algorithm>

namespace {

// Four samples smooth the silhouettes well enough for documentation pictures.
constexpr GLint wantedSamples = 4;
constexpr int rgbBytes = 3;

GLuint renderbuffer(GLsizei samples, GLenum format, int width, int height) {
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    glBindRenderbuffer(GL_RENDERBUFFER, name);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    return name;
}

} // namespace

bool OffscreenTarget::create(int pictureWidth, int pictureHeight, std::string& error) {
    GLint maxSize{}, maxSamples{};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (pictureWidth < 1 || pictureHeight < 1 || pictureWidth > maxSize ||
        pictureHeight > maxSize) {
        error = "the driver's largest picture side is " + std::to_string(maxSize) + " pixels";
        return false;
    }
    width = pictureWidth;
    height = pictureHeight;
    const GLsizei samples = std::min(wantedSamples, maxSamples);

    glGenFramebuffers(1, &drawFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              renderbuffer(samples, GL_RGBA8, width, height));
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              renderbuffer(samples, GL_DEPTH_COMPONENT24, width, height));
    const GLenum drawStatus = glCheckFramebufferStatus(GL_FRAMEBUFFER);

    glGenFramebuffers(1, &resolveFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, resolveFramebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                              renderbuffer(0, GL_RGBA8, width, height));
    const GLenum resolveStatus = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    if (drawStatus != GL_FRAMEBUFFER_COMPLETE || resolveStatus != GL_FRAMEBUFFER_COMPLETE) {
        error = "the driver cannot draw a " + std::to_string(width) + " x " +
                std::to_string(height) + " picture off screen";
        return false;
    }
    return true;
}

void OffscreenTarget::bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, drawFramebuffer);
    glViewport(0, 0, width, height);
}

std::vector<unsigned char> OffscreenTarget::readPixels() const {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);

    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height) * rgbBytes);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return pixels;
}
