#include "render/SceneScaler.h"

#include <GL/glew.h>

#include <algorithm>
#include <cassert>

namespace {

constexpr int fullPercent = 100;

// The scene's own depth; nothing reads it after the scene, so it need not match the window's.
constexpr GLenum depthFormat = GL_DEPTH_COMPONENT24;

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
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(area.x, area.y, area.width, area.height);
}

void SceneScaler::resize(int newWidth, int newHeight) {
    if (framebuffer != 0 && newWidth == width && newHeight == height)
        return;
    const bool first = framebuffer == 0;
    if (first) {
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
    glRenderbufferStorage(GL_RENDERBUFFER, depthFormat, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (first) {
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    }
    assert(glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
           "colour and depth renderbuffers make a complete framebuffer");
}
