#include "render/ShaderProgram.h"

#include "platform/ConsolePause.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

constexpr int exitStatusShaderFailure = 1;
constexpr int exitStatusLinkFailure = -1;

// A broken shader leaves the game nothing to draw with: the message has to stay readable in
// the console window, so we pause before ending the process.
[[noreturn]] void fail(const std::string& message, int exitStatus) {
    std::cerr << message << std::endl;
    consolePause();
    std::exit(exitStatus);
}

// The driver's log, fetched into a zero-filled buffer of the length it reports.
template <typename LengthQuery, typename LogQuery>
std::string infoLog(GLuint object, LengthQuery queryLength, LogQuery queryLog) {
    GLint length = 0;
    queryLength(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return {};
    std::vector<GLchar> buffer(static_cast<std::size_t>(length), '\0');
    queryLog(object, length, nullptr, buffer.data());
    return std::string(buffer.data());
}

} // namespace

ShaderProgram::ShaderProgram(const std::string& vertexPath, const std::string& fragmentPath) {
    program = glCreateProgram();
    if (program == 0)
        fail("Failed to create shader program.", exitStatusShaderFailure);
    compileShader(vertexPath, GL_VERTEX_SHADER, vertexShader);
    compileShader(fragmentPath, GL_FRAGMENT_SHADER, fragmentShader);
    linkProgram();
}

ShaderProgram::~ShaderProgram() {
    glDeleteProgram(program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
}

GLuint ShaderProgram::compileShader(const std::string& path, GLenum kind, GLuint& into) {
    std::string source;
    {
        std::ifstream file(path);
        if (file.fail())
            fail("Failed to open shader file: " + path, exitStatusShaderFailure);
        source.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    into = glCreateShader(kind);
    if (into == 0)
        fail("Failed to create shader.", exitStatusShaderFailure);
    const GLchar* sourceCharacters = source.c_str();
    glShaderSource(into, 1, &sourceCharacters, nullptr);
    glCompileShader(into);

    GLint status = 0;
    glGetShaderiv(into, GL_COMPILE_STATUS, &status);
    if (status == 0 || glIsShader(into) == GL_FALSE) {
        const std::string log = infoLog(into, glGetShaderiv, glGetShaderInfoLog);
        fail("Failed to compile shader\n" + log, exitStatusShaderFailure);
    }
    return into;
}

void ShaderProgram::linkProgram() {
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);

    GLint status = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status != 0)
        return;
    const std::string log = infoLog(program, glGetProgramiv, glGetProgramInfoLog);
    fail("Failed to link program\n" + log, exitStatusLinkFailure);
}
