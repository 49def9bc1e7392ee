#pragma once

struct GLFWwindow;

// A rectangle of the window's framebuffer, in framebuffer pixels, origin bottom left.
struct Letterbox {
    int x = 0, y = 0, width = 0, height = 0;
};

// The largest rectangle of the aspect ratio aspectWidth : aspectHeight (both above zero) that
// fits a framebuffer of the given size, centred; the rest are the bars. An empty framebuffer (a
// minimised window) gives an empty rectangle.
Letterbox fitLetterbox(int framebufferWidth, int framebufferHeight, int aspectWidth,
                       int aspectHeight);

// Follows the size of a window's framebuffer (pixels, not window units, so HiDPI screens are
// measured as drawn) through GLFW's framebuffer-size callback: every resize, maximise and
// full-screen change. One per window; it takes the window's framebuffer-size callback while it
// lives. Main thread only, like GLFW's events.
class FramebufferWatch {
public:
    explicit FramebufferWatch(GLFWwindow* window);
    ~FramebufferWatch();
    FramebufferWatch(const FramebufferWatch&) = delete;
    FramebufferWatch& operator=(const FramebufferWatch&) = delete;

    // True once after the size changed (and on the first call), with the size now.
    bool changed(int& width, int& height);

private:
    GLFWwindow* window;
};
