#pragma once

#include <GL/glew.h>

#include <string>

// OpenGL debug output: every message the driver delivers becomes one line on standard output,
// "OpenGL Error: <text> [Source = ..., Type = ..., Severity = ..., ID = n]", whatever its type.

// Asks GLFW for debug contexts and, if a context is current, hooks the first available of the
// core, ARB and AMD callback entry points.
void setupDebugOutput();

void GLAPIENTRY debugCallback(GLenum source, GLenum type, GLuint id, GLenum severity,
                              GLsizei length, const GLchar* message, const void* userParam);
void GLAPIENTRY debugCallbackAMD(GLuint id, GLenum category, GLenum severity, GLsizei length,
                                 const GLchar* message, void* userParam);

std::string formatDebugOutput(GLenum source, GLenum type, GLuint id, GLenum severity,
                              const char* message);
