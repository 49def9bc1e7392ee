#pragma once

#include <GL/glew.h>

#include <string>

// One linked OpenGL program built from a vertex and a fragment shader file.
//
// Construction returns only on success. Any failure (a file that cannot be opened, a compile
// or link error) writes its message to standard error, waits for a key and ends the process:
// the game has no fallback for a broken shader. The vertex file is always read first.
// Needs a current context with loaded entry points.
//
// The destructor deletes the program and both shaders; mesh programs are never destroyed,
// only the frame loop's text program is.
class ShaderProgram {
public:
    ShaderProgram(const std::string& vertexPath, const std::string& fragmentPath);
    ~ShaderProgram();
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    GLuint program = 0;
    GLuint vertexShader = 0;
    GLuint fragmentShader = 0;

private:
    GLuint compileShader(const std::string& path, GLenum kind, GLuint& into);
    void linkProgram();
};
