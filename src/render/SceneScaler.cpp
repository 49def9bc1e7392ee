#include "render/SceneScaler.h"

#include <GL/glew.h>

#include <algorithm>
#include <cassert>

namespace {

constexpr int fullPercent = 100;

// The depth format of the window's framebuffer: a depth blit needs the same on both sides.
GLenum windowDepthFormat() {
    GLint depthBits = 0, stencilBits = 0;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH,
                                          GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE, &depthBits);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL,
                                          GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencilBits);
    if (stencilBits > 0)
        return depthBits == 32 ? GL_DEPTH32F_STENCIL8 : GL_DEPTH24_STENCIL8;
    return depthBits == 32   ? GL_DEPTH_COMPONENT32
           : depthBits == 16 ? GL_DEPTH_COMPONENT16
                             : GL_DEPTH_COMPONENT24;
}

} // namespace

void SceneScaler::begin(const Letterbox& drawingArea, int percent, bool windowScissored) {
    assert(percent > 0 && percent < fullPercent && "the full-size frame draws directly");
    area = drawingArea;
    scissored = windowScissored;
    resize(std::max(1, area.width * percent / fullPercent),
           std::max(1, area.height * percent / fullPercent));
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, width, height);
    if (scissored)
        glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SceneScaler::end() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (scissored)
        glEnable(GL_SCISSOR_TEST);
    const int right = area.x + area.width, top = area.y + area.height;
    glBlitFramebuffer(0, 0, width, height, area.x, area.y, right, top, GL_COLOR_BUFFER_BIT,
                      GL_LINEAR);
    glBlitFramebuffer(0, 0, width, height, area.x, area.y, right, top, GL_DEPTH_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(area.x, area.y, area.width, area.height);
}

void SceneScaler::resize(int newWidth, int newHeight) {
    if (framebuffer != 0 && newWidth == width && newHeight == height)
        return;
    const bool first = framebuffer == 0;
    if (first) {
        depthStorage = windowDepthFormat();
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(1, &colour);
        glGenRenderbuffers(1, &depth);
    }
    width = newWidth;
    height = newHeight;
    // New storage for the same names: the old storage goes with it.
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, depthStorage, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (first) {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        const GLenum attachment =
            depthStorage == GL_DEPTH24_STENCIL8 || depthStorage == GL_DEPTH32F_STENCIL8
                ? GL_DEPTH_STENCIL_ATTACHMENT
                : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, depth);
    }
    assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
           "colour and depth renderbuffers make a complete framebuffer");
}
