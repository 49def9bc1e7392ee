#include "platform/WindowFit.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <utility>

namespace {

// GLFW's callback carries no pointer of ours (the keyboard owns the window's user pointer), and
// there is one window: its latest size lives here, first set by the watch's constructor.
GLFWwindow* watchedWindow = nullptr;
int latestWidth{}, latestHeight{};
bool sizeChanged{};

void onFramebufferSize([[maybe_unused]] GLFWwindow* window, int width, int height) {
    // Only a slip of ours fails this: no other window ever gets this callback.
    assert(window == watchedWindow && "the callback is set on the watched window only");
    latestWidth = width;
    latestHeight = height;
    sizeChanged = true;
}

} // namespace

Letterbox fitLetterbox(int framebufferWidth, int framebufferHeight, int aspectWidth,
                       int aspectHeight) {
    // No config.js gets here with a side of 0 or less: the window is refused first.
    assert(aspectWidth > 0 && aspectHeight > 0 && "the aspect is the configured window size");
    if (framebufferWidth <= 0 || framebufferHeight <= 0)
        return {};
    // In 64 bits: a framebuffer side times a configured side can pass 2^31.
    const std::int64_t widthAtFullHeight =
        std::int64_t(framebufferHeight) * aspectWidth / aspectHeight;
    Letterbox box;
    if (widthAtFullHeight <= framebufferWidth) {
        box.width = int(widthAtFullHeight);
        box.height = framebufferHeight;
    } else {
        box.width = framebufferWidth;
        box.height = int(std::int64_t(framebufferWidth) * aspectHeight / aspectWidth);
    }
    box.x = (framebufferWidth - box.width) / 2;
    box.y = (framebufferHeight - box.height) / 2;
    return box;
}

FramebufferWatch::FramebufferWatch(GLFWwindow* window) : window(window) {
    // Only a slip of ours fails this: the engine makes one watch for its one window.
    assert(watchedWindow == nullptr && "one framebuffer watch at a time");
    watchedWindow = window;
    glfwGetFramebufferSize(window, &latestWidth, &latestHeight);
    sizeChanged = true;
    glfwSetFramebufferSizeCallback(window, onFramebufferSize);
}

FramebufferWatch::~FramebufferWatch() {
    glfwSetFramebufferSizeCallback(window, nullptr);
    watchedWindow = nullptr;
}

bool FramebufferWatch::changed(int& width, int& height) {
    width = latestWidth;
    height = latestHeight;
    return std::exchange(sizeChanged, false);
}
