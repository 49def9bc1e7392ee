#include "HiddenGlContext.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>

namespace {
constexpr int contextMajorVersion = 4;
constexpr int contextMinorVersion = 3;
} // namespace

GLFWwindow* openHiddenGlContext(int width, int height, const char* title, bool debug) {
    if (std::getenv("DISPLAY") == nullptr || !glfwInit())
        return nullptr;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, debug ? GLFW_TRUE : GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, contextMajorVersion);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, contextMinorVersion);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (window == nullptr)
        return nullptr;
    glfwMakeContextCurrent(window);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        glfwDestroyWindow(window);
        return nullptr;
    }
    glGetError(); // GLEW's probing of a core context leaves an error behind
    return window;
}
