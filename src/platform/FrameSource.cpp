#include "platform/FrameSource.h"

#include <GLFW/glfw3.h>

#include <cassert>

double GlfwClock::now() {
    return glfwGetTime();
}

GlfwKeyboard::GlfwKeyboard(GLFWwindow* window) : window(window) {
    // Only a slip of ours fails this: the engine makes one keyboard for its one window.
    assert(glfwGetWindowUserPointer(window) == nullptr && "one keyboard per window");
    glfwSetWindowUserPointer(window, this);
    glfwSetKeyCallback(window, onKey);
}

GlfwKeyboard::~GlfwKeyboard() {
    glfwSetKeyCallback(window, nullptr);
    glfwSetWindowUserPointer(window, nullptr);
}

void GlfwKeyboard::pollEvents() {
    // Events only arrive inside glfwPollEvents, so every press latched from here on belongs
    // to the frame that is starting.
    pressedSincePoll.reset();
    glfwPollEvents();
}

bool GlfwKeyboard::isDown(int glfwKey) const {
    // No file gets a code outside the range here: every code asked for comes from a key table.
    if (glfwKey >= 0 && glfwKey < keyCodeCount && pressedSincePoll[glfwKey])
        return true;
    return glfwGetKey(window, glfwKey) == GLFW_PRESS;
}

void GlfwKeyboard::onKey(GLFWwindow* window, int key, int, int action, int) {
    static_assert(keyCodeCount == GLFW_KEY_LAST + 1, "one bit for every key code GLFW has");
    auto* keyboard = static_cast<GlfwKeyboard*>(glfwGetWindowUserPointer(window));
    if (keyboard != nullptr && action == GLFW_PRESS && key >= 0 && key < keyCodeCount)
        keyboard->pressedSincePoll.set(key);
}
