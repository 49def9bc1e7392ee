#include "FuzzSupport.h"

#include "HiddenGlContext.h"
#include "render/MeshComponent.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fuzz_support {

const std::vector<std::string> pngTextureNames{
    "crate.png", "lagerlm.png", "lightm.png", "boxBake.png", "terrainlm2.png", "2.png", "3.png",
    "4.png",     "5.png",       "6.png",      "7.png",       "8.png",          "9.png", "10.png",
};

namespace {

// Small enough that drawing a fuzzed model costs little; the picture is never looked at.
constexpr int windowEdgePixels = 64;
constexpr int textureEdgePixels = 4;
constexpr int rgbChannels = 3;

std::vector<std::string> recordedErrors;
std::filesystem::path workingDirectory;

void GLAPIENTRY recordGlError(GLenum /*source*/, GLenum type, GLuint /*id*/, GLenum /*severity*/,
                              GLsizei /*length*/, const GLchar* message,
                              const void* /*userParam*/) {
    if (type == GL_DEBUG_TYPE_ERROR)
        recordedErrors.emplace_back(message);
}

void removeWorkingDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(workingDirectory, ignored);
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "fuzz set-up: %s\n", message.c_str());
    std::exit(1);
}

} // namespace

void startHiddenGlContext() {
    // Mesa's software rasteriser draws on worker threads by default; every large buffer the
    // importer frees then costs a TLB shoot-down on all of them. Drawing on this thread only
    // makes model fuzzing about half again as fast. A value set by the caller is kept.
    setenv("LP_NUM_THREADS", "0", 0);
    if (openHiddenGlContext(windowEdgePixels, windowEdgePixels, "Zephrane fuzzing", true) ==
        nullptr)
        fail("no OpenGL 4.3 core context; run the fuzzer under xvfb-run");
    glDebugMessageCallback(recordGlError, nullptr);
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glEnable(GL_DEPTH_TEST);
    ilInit();
}

std::filesystem::path enterGameWorkingDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zephrane-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        fail("could not make a temporary directory");
    workingDirectory = pattern;
    std::atexit(removeWorkingDirectory);

    std::error_code error;
    std::filesystem::copy(std::filesystem::path(ZEPHRANE_SOURCE_DIR) / "Shader",
                          workingDirectory / "Shader", std::filesystem::copy_options::recursive,
                          error);
    std::filesystem::create_directories(workingDirectory / "Resources/models", error);
    std::filesystem::create_directories(workingDirectory / "Resources/textures", error);
    if (error)
        fail("could not fill " + workingDirectory.string() + ": " + error.message());
    std::filesystem::current_path(workingDirectory);

    // Each texture gets its own colour so that a mix-up would show in a picture.
    std::uint8_t shade = 0;
    for (const std::string& name : pngTextureNames) {
        shade = static_cast<std::uint8_t>(shade + 17);
        std::vector<std::uint8_t> rgb(textureEdgePixels * textureEdgePixels * rgbChannels, shade);
        if (!writePng(std::filesystem::path(Texture::textureDirectory) / name, textureEdgePixels,
                      textureEdgePixels, rgb))
            fail("DevIL could not write " + name);
    }
    return workingDirectory;
}

bool writePng(const std::filesystem::path& path, int width, int height,
              const std::vector<std::uint8_t>& rgb) {
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilEnable(IL_FILE_OVERWRITE);
    const bool written =
        ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, rgbChannels, IL_RGB,
                   IL_UNSIGNED_BYTE, const_cast<std::uint8_t*>(rgb.data())) &&
        ilSave(IL_PNG, path.c_str());
    ilBindImage(0);
    ilDeleteImages(1, &image);
    return written;
}

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        fail("could not write " + path.string());
}

std::vector<std::string> takeGlErrors() {
    std::vector<std::string> errors;
    errors.swap(recordedErrors);
    return errors;
}

void trapOnGlErrors(const char* during) {
    const std::vector<std::string> errors = takeGlErrors();
    if (errors.empty())
        return;
    for (const std::string& error : errors)
        std::fprintf(stderr, "OpenGL error during %s: %s\n", during, error.c_str());
    std::abort();
}

void releaseComponent(MeshComponent& component) {
    for (Mesh& mesh : component.meshes) {
        glDeleteVertexArrays(1, &mesh.vao);
        glDeleteBuffers(1, &mesh.vbo);
        glDeleteBuffers(1, &mesh.ebo);
        for (Texture* texture : mesh.textures) {
            glDeleteTextures(1, &texture->id);
            delete texture;
        }
        delete mesh.shader;
    }
    component.meshes.clear();
}

} // namespace fuzz_support
