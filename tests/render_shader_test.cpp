// Shader programs: the fatal failure paths (as death tests, each in a child process), and the
// game's own shader files, which must compile everywhere and offer the interface drawing uses.
#include "TestSupport.h"

#include "render/ShaderProgram.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const char* const goodVertex = "#version 430 core\nlayout(location = 0) in vec3 position;\n"
                               "out vec3 shade;\nvoid main() { shade = position; "
                               "gl_Position = vec4(position, 1.0); }\n";
const char* const goodFragment = "#version 430 core\nin vec3 shade;\nout vec4 color;\n"
                                 "void main() { color = vec4(shade, 1.0); }\n";
// Reads the vertex stage's vec3 as a vec2: each compiles, the pair does not link.
const char* const mismatchedFragment = "#version 430 core\nin vec2 shade;\nout vec4 color;\n"
                                       "void main() { color = vec4(shade, 0.0, 1.0); }\n";
const char* const brokenFragment = "#version 430 core\nvoid main() { this is not glsl }\n";

// The console pause must not wait for a key that never comes.
void buildWithoutKeyboard(const char* vertexPath, const char* fragmentPath) {
    if (std::freopen("/dev/null", "r", stdin) == nullptr)
        return;
    ShaderProgram program(vertexPath, fragmentPath);
}

class ShaderFailure : public ::testing::Test {
protected:
    // Death tests re-run the test in a child process, which must find the same files: a fixed
    // directory per test, rebuilt on every run, instead of a fresh temporary one.
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        const fs::path dir = binaryDir() / "render-test-data" /
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir);
        writeFile(dir / "Shader/good.vert", goodVertex);
        writeFile(dir / "Shader/good.frag", goodFragment);
        writeFile(dir / "Shader/mismatched.frag", mismatchedFragment);
        writeFile(dir / "Shader/broken.frag", brokenFragment);
        cwd.emplace(dir);
    }
    std::optional<ScopedWorkingDirectory> cwd;
};

} // namespace

// Each failure ends the program with its own message: a missing file is named (the vertex
// file first), a compile error shows the driver's log, a link error exits with -1.
TEST_F(ShaderFailure, MissingFileCompileAndLinkErrorsExitWithTheirMessages) {
    EXPECT_EXIT(buildWithoutKeyboard("Shader/none.vert", "Shader/none.frag"),
                ::testing::ExitedWithCode(1), "Failed to open shader file: Shader/none\\.vert\n$");
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/none.frag"),
                ::testing::ExitedWithCode(1), "Failed to open shader file: Shader/none\\.frag\n$");
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/broken.frag"),
                ::testing::ExitedWithCode(1), "Failed to compile shader\n.*error");
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/mismatched.frag"),
                ::testing::ExitedWithCode(255), "Failed to link program\n");
}

TEST_F(ShaderFailure, SamePairTwiceGivesTwoProgramsAndDestructionDeletesThem) {
    auto* first = new ShaderProgram("Shader/good.vert", "Shader/good.frag");
    ShaderProgram second("Shader/good.vert", "Shader/good.frag");
    EXPECT_NE(first->program, second.program);
    GLint attached = 0;
    glGetProgramiv(second.program, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 2) << "both shaders stay attached after linking";
    const GLuint name = first->program;
    delete first;
    EXPECT_EQ(glIsProgram(name), GL_FALSE);
}

// ---------------------------------------------------------------------------------------------
// The game's shader files

TEST(GameShaders, EveryFilePassesTheReferenceCompiler) {
    const fs::path validator = "/usr/bin/glslangValidator";
    if (!fs::exists(validator))
        GTEST_SKIP() << "glslangValidator is not installed (Debian glslang-tools)";
    for (const char* file :
         {"texture.vert", "texture.frag", "texture_l.vert", "texture_l.frag", "texture_usual.frag",
          "texture_freetype.vert", "texture_freetype.frag"}) {
        const fs::path path = sourceDir() / "Shader" / file;
        const ProcessResult result = runProcess({validator.string(), path.string()}, sourceDir());
        EXPECT_EQ(result.exitCode, 0) << file << "\n" << result.out << result.err;
    }
}

TEST(GameShaders, EachPairLinksAndOffersWhatDrawingSets) {
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    ScopedWorkingDirectory cwd(sourceDir());
    const std::tuple<const char*, const char*, std::vector<const char*>> pairs[] = {
        {"Shader/texture.vert", "Shader/texture.frag", {"projection", "ptransform"}},
        {"Shader/texture_l.vert", "Shader/texture_l.frag", {"color_texture", "lightmaptexture"}},
        {"Shader/texture_l.vert",
         "Shader/texture_usual.frag",
         {"model", "transform", "ptransform", "view", "projection", "lightPos", "lightColor",
          "viewPos", "light.ambient", "light.diffuse", "light.specular", "material.diffuse",
          "material.specular", "material.shininess"}},
        {"Shader/texture_freetype.vert",
         "Shader/texture_freetype.frag",
         {"projection", "textColor"}}};
    for (const auto& [vertex, fragment, uniforms] : pairs) {
        const ShaderProgram shader(vertex, fragment);
        for (const char* name : uniforms)
            EXPECT_GE(glGetUniformLocation(shader.program, name), 0) << fragment << " " << name;
    }
    // The vertex layout every mesh is uploaded with.
    const ShaderProgram lit("Shader/texture_l.vert", "Shader/texture_usual.frag");
    EXPECT_EQ(glGetAttribLocation(lit.program, "position"), 0);
    EXPECT_EQ(glGetAttribLocation(lit.program, "normal"), 1);
    EXPECT_EQ(glGetAttribLocation(lit.program, "texCoords"), 2);
}
