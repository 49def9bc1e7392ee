#include "FuzzSupport.h"

#include "TestSupport.h"
#include "render/MeshComponent.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace fuzz_support {

namespace {

constexpr int viewportEdgePixels = 64;
constexpr int textureEdgePixels = 4;

std::vector<std::string> recordedErrors;

void GLAPIENTRY recordGlError(GLenum /*source*/, GLenum type, GLuint /*id*/, GLenum /*severity*/,
                              GLsizei /*length*/, const GLchar* message,
                              const void* /*userParam*/) {
    if (type == GL_DEBUG_TYPE_ERROR)
        recordedErrors.emplace_back(message);
}

} // namespace

void startLoadingFuzzer() {
    // Mesa draws on worker threads by default, and every large buffer the importer frees then
    // costs a TLB shoot-down on all of them: one thread makes model fuzzing half again as fast.
    setenv("LP_NUM_THREADS", "0", 0);
    // A missing texture waits for a key; at the end of input it goes on at once.
    if (std::freopen("/dev/null", "r", stdin) == nullptr)
        std::abort();
    if (!testing_support::ensureGlContext()) {
        std::fprintf(stderr, "fuzz set-up: no OpenGL 4.3 core context; run under xvfb-run\n");
        std::exit(1);
    }
    // A small viewport keeps drawing a fuzzed model cheap; the picture is never looked at.
    glViewport(0, 0, viewportEdgePixels, viewportEdgePixels);
    glDebugMessageCallback(recordGlError, nullptr);
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glEnable(GL_DEPTH_TEST);
    ilInit();

    static const testing_support::TempDir directory;
    std::filesystem::copy(testing_support::sourceDir() / "Shader", directory.path() / "Shader",
                          std::filesystem::copy_options::recursive);
    std::filesystem::current_path(directory.path());
    // Each texture its own colour, so that a mix-up would show in a picture.
    std::uint8_t shade = 0;
    for (const char* name :
         {"crate.png", "lagerlm.png", "lightm.png", "boxBake.png", "terrainlm2.png", "2.png",
          "3.png", "4.png", "5.png", "6.png", "7.png", "8.png", "9.png", "10.png"}) {
        shade = static_cast<std::uint8_t>(shade + 17);
        if (!testing_support::writePng(
                std::string(Texture::textureDirectory) + name, textureEdgePixels, textureEdgePixels,
                std::vector<unsigned char>(textureEdgePixels * textureEdgePixels * 3, shade))) {
            std::fprintf(stderr, "fuzz set-up: could not write %s\n", name);
            std::exit(1);
        }
    }
    std::filesystem::create_directories("Resources/models");
}

void require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void trapOnGlErrors(const char* during) {
    for (const std::string& error : recordedErrors)
        std::fprintf(stderr, "OpenGL error during %s: %s\n", during, error.c_str());
    if (!recordedErrors.empty())
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
