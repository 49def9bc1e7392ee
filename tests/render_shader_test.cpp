// Shader programs: the fatal failure paths (as death tests, each in a child process), and the
// game's own shader files, which must compile everywhere and offer the interface drawing uses.
#include "TestSupport.h"

#include "render/ShaderProgram.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const char* const goodVertex = R"(#version 430 core
layout(location = 0) in vec3 position;
out vec3 shade;
void main() { shade = position; gl_Position = vec4(position, 1.0); }
)";
const char* const goodFragment = R"(#version 430 core
in vec3 shade;
out vec4 color;
void main() { color = vec4(shade, 1.0); }
)";
// Reads the vertex stage's vec3 as a vec2: each compiles, the pair does not link.
const char* const mismatchedFragment = R"(#version 430 core
in vec2 shade;
out vec4 color;
void main() { color = vec4(shade, 0.0, 1.0); }
)";
const char* const brokenFragment = "#version 430 core\nvoid main() { this is not glsl }\n";

// Death tests re-run the test in a child process, which must find the same files: a fixed
// directory per test, rebuilt on every run, instead of a fresh temporary one.
fs::path shaderFixtures(const std::string& testName) {
    const fs::path dir = binaryDir() / "render-test-data" / testName;
    fs::remove_all(dir);
    writeFile(dir / "Shader/good.vert", goodVertex);
    writeFile(dir / "Shader/good.frag", goodFragment);
    writeFile(dir / "Shader/mismatched.frag", mismatchedFragment);
    writeFile(dir / "Shader/broken.frag", brokenFragment);
    return dir;
}

// The console pause must not wait for a key that never comes.
void buildWithoutKeyboard(const char* vertexPath, const char* fragmentPath) {
    if (std::freopen("/dev/null", "r", stdin) == nullptr)
        return;
    ShaderProgram program(vertexPath, fragmentPath);
}

class ShaderFailure : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        cwd.emplace(
            shaderFixtures(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    std::optional<ScopedWorkingDirectory> cwd;
};

} // namespace

TEST_F(ShaderFailure, MissingFileIsNamedVertexFirst) {
    EXPECT_EXIT(buildWithoutKeyboard("Shader/none.vert", "Shader/none.frag"),
                ::testing::ExitedWithCode(1), "Failed to open shader file: Shader/none\\.vert\n$");
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/none.frag"),
                ::testing::ExitedWithCode(1), "Failed to open shader file: Shader/none\\.frag\n$");
}

TEST_F(ShaderFailure, CompileErrorPrintsTheDriverLog) {
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/broken.frag"),
                ::testing::ExitedWithCode(1), "Failed to compile shader\n.*error");
}

TEST_F(ShaderFailure, LinkErrorExitsWithMinusOne) {
    EXPECT_EXIT(buildWithoutKeyboard("Shader/good.vert", "Shader/mismatched.frag"),
                ::testing::ExitedWithCode(255), "Failed to link program\n");
}

TEST_F(ShaderFailure, SamePairTwiceGivesTwoProgramsAndDestructionDeletesThem) {
    auto* first = new ShaderProgram("Shader/good.vert", "Shader/good.frag");
    ShaderProgram second("Shader/good.vert", "Shader/good.frag");
    EXPECT_NE(first->program, second.program);
    EXPECT_NE(first->vertexShader, 0u);
    EXPECT_NE(first->fragmentShader, 0u);
    GLint attached = 0;
    glGetProgramiv(second.program, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 2) << "both shaders stay attached after linking";
    const GLuint name = first->program;
    delete first;
    EXPECT_EQ(glIsProgram(name), GL_FALSE);
}

// ---------------------------------------------------------------------------------------------
// The game's shader files

namespace {

const char* const gameShaderFiles[] = {
    "texture.vert",       "texture.frag",          "texture_l.vert",       "texture_l.frag",
    "texture_usual.frag", "texture_freetype.vert", "texture_freetype.frag"};

bool hasUniform(GLuint program, const char* name) {
    return glGetUniformLocation(program, name) >= 0;
}

} // namespace

TEST(GameShaders, EveryFilePassesTheReferenceCompiler) {
    const fs::path validator = "/usr/bin/glslangValidator";
    if (!fs::exists(validator))
        GTEST_SKIP() << "glslangValidator is not installed (Debian glslang-tools)";
    for (const char* file : gameShaderFiles) {
        const fs::path path = sourceDir() / "Shader" / file;
        ASSERT_TRUE(fs::exists(path)) << path;
        ProcessResult result = runProcess({validator.string(), path.string()}, sourceDir());
        EXPECT_EQ(result.exitCode, 0) << file << "\n" << result.out << result.err;
    }
}

TEST(GameShaders, EachPairLinksAndOffersWhatDrawingSets) {
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    ScopedWorkingDirectory cwd(sourceDir());

    ShaderProgram sky("Shader/texture.vert", "Shader/texture.frag");
    EXPECT_TRUE(hasUniform(sky.program, "projection"));
    EXPECT_TRUE(hasUniform(sky.program, "ptransform"));
    EXPECT_FALSE(hasUniform(sky.program, "lightColor")) << "the sky is not lit";

    ShaderProgram baked("Shader/texture_l.vert", "Shader/texture_l.frag");
    EXPECT_TRUE(hasUniform(baked.program, "color_texture"));
    EXPECT_TRUE(hasUniform(baked.program, "lightmaptexture"));
    EXPECT_EQ(glGetAttribLocation(baked.program, "texCoords"), 2);

    ShaderProgram lit("Shader/texture_l.vert", "Shader/texture_usual.frag");
    for (const char* name :
         {"model", "transform", "ptransform", "view", "projection", "lightPos", "lightColor",
          "viewPos", "light.ambient", "light.diffuse", "light.specular", "material.diffuse",
          "material.specular", "material.shininess"})
        EXPECT_TRUE(hasUniform(lit.program, name)) << name;
    EXPECT_EQ(glGetAttribLocation(lit.program, "position"), 0);
    EXPECT_EQ(glGetAttribLocation(lit.program, "normal"), 1);

    ShaderProgram text("Shader/texture_freetype.vert", "Shader/texture_freetype.frag");
    EXPECT_TRUE(hasUniform(text.program, "projection"));
    EXPECT_TRUE(hasUniform(text.program, "textColor"));
}
