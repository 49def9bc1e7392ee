#include "app/DebugOutput.h"

#include <GLFW/glfw3.h>

#include <iostream>

namespace {

// AMD's debug categories, which the AMD entry point reports instead of a source and a type.
constexpr GLenum categoryApiErrorAmd = 0x9149;
constexpr GLenum categoryWindowSystemAmd = 0x914A;
constexpr GLenum categoryDeprecationAmd = 0x914B;
constexpr GLenum categoryUndefinedBehaviorAmd = 0x914C;
constexpr GLenum categoryPerformanceAmd = 0x914D;
constexpr GLenum categoryShaderCompilerAmd = 0x914E;
constexpr GLenum categoryApplicationAmd = 0x914F;
constexpr GLenum categoryOtherAmd = 0x9150;

const char* sourceName(GLenum source) {
    switch (source) {
    case GL_DEBUG_SOURCE_API:
    case categoryApiErrorAmd:
        return "API";
    case GL_DEBUG_SOURCE_WINDOW_SYSTEM:
    case categoryWindowSystemAmd:
        return "Window System";
    case GL_DEBUG_SOURCE_SHADER_COMPILER:
    case categoryShaderCompilerAmd:
        return "Shader Compiler";
    case GL_DEBUG_SOURCE_THIRD_PARTY:
        return "Third Party";
    case GL_DEBUG_SOURCE_APPLICATION:
    case categoryApplicationAmd:
        return "Application";
    case GL_DEBUG_SOURCE_OTHER:
    case categoryOtherAmd:
        return "Other";
    default:
        return "Unknown";
    }
}

const char* typeName(GLenum type) {
    switch (type) {
    case GL_DEBUG_TYPE_ERROR:
        return "Error";
    case GL_DEBUG_TYPE_DEPRECATED_BEHAVIOR:
    case categoryDeprecationAmd:
        return "Deprecated Behavior";
    case GL_DEBUG_TYPE_UNDEFINED_BEHAVIOR:
    case categoryUndefinedBehaviorAmd:
        return "Undefined Behavior";
    case GL_DEBUG_TYPE_PORTABILITY:
        return "Portability";
    case GL_DEBUG_TYPE_PERFORMANCE:
    case categoryPerformanceAmd:
        return "Performance";
    case GL_DEBUG_TYPE_OTHER:
    case categoryOtherAmd:
        return "Other";
    default:
        return "Unknown";
    }
}

const char* severityName(GLenum severity) {
    switch (severity) {
    case GL_DEBUG_SEVERITY_HIGH:
        return "High";
    case GL_DEBUG_SEVERITY_MEDIUM:
        return "Medium";
    case GL_DEBUG_SEVERITY_LOW:
        return "Low";
    default:
        return "Unknown";
    }
}

using DebugCallbackInstaller = void(GLAPIENTRY*)(GLDEBUGPROC, const void*);
using DebugCallbackInstallerAmd = void(GLAPIENTRY*)(GLDEBUGPROCAMD, void*);

} // namespace

void setupDebugOutput() {
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);

    // All three are looked up every time; without a current context each look-up finds nothing.
    auto core = reinterpret_cast<DebugCallbackInstaller>(
        glfwGetProcAddress("glDebugMessageCallback"));
    auto arb = reinterpret_cast<DebugCallbackInstaller>(
        glfwGetProcAddress("glDebugMessageCallbackARB"));
    auto amd = reinterpret_cast<DebugCallbackInstallerAmd>(
        glfwGetProcAddress("glDebugMessageCallbackAMD"));

    if (core || arb) {
        (core ? core : arb)(debugCallback, nullptr);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    } else if (amd) {
        amd(debugCallbackAMD, nullptr);
    }
}

void GLAPIENTRY debugCallback(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei,
                              const GLchar* message, const void*) {
    std::cout << formatDebugOutput(source, type, id, severity, message) << std::endl;
}

void GLAPIENTRY debugCallbackAMD(GLuint id, GLenum category, GLenum severity, GLsizei,
                                 const GLchar* message, void*) {
    std::cout << formatDebugOutput(category, category, id, severity, message) << std::endl;
}

std::string formatDebugOutput(GLenum source, GLenum type, GLuint id, GLenum severity,
                              const char* message) {
    std::string line = "OpenGL Error: ";
    line += message ? message : "";
    line += " [Source = ";
    line += sourceName(source);
    line += ", Type = ";
    line += typeName(type);
    line += ", Severity = ";
    line += severityName(severity);
    line += ", ID = ";
    line += std::to_string(id);
    line += "]";
    return line;
}
