// Fuzzes model loading: the input is imported through MeshComponent::load as an OBJ, FBX or
// 3DS file, with the game's import flags and conversion, uploaded and drawn once. Whatever the
// importer makes of it, the meshes must keep their indices inside their vertices, the upload
// and the draw must cause no OpenGL error, and nothing may touch memory it does not own.
//
// The first byte chooses the file: its extension (byte % 3: ".obj", ".fbx", ".3ds") and its
// name ((byte / 3) % 7), because the name decides the shader pair, the light maps and the
// animation frames. The remaining bytes are the file. An OBJ may name "fuzz.mtl" as its
// material library: it lies beside the model and refers to textures that exist and to one
// that does not.
//
// Build and run from the repository root. The fuzzer needs a display, and standard input at its
// end because a missing texture waits for a key; -close_fd_mask=1 silences the loader's lines.
// It works in a temporary game directory, so corpus and artifact paths must be absolute. Leak
// checking is off: Assimp 5.2 leaks parts of its partly built scene (and zlib's inflate state)
// on most damaged FBX files, and the check after every such input would make fuzzing crawl.
// LP_NUM_THREADS=0 is set for Mesa unless given (see FuzzSupport.cpp).
//
//   CC=clang CXX=clang++ cmake -S . -B build-harden-fuzz -G Ninja -DZEPHRANE_FUZZ=ON \
//       -DCMAKE_BUILD_TYPE=RelWithDebInfo
//   cmake --build build-harden-fuzz --target model_fuzzer
//   mkdir -p /tmp/model-corpus
//   ASAN_OPTIONS=detect_leaks=0 \
//   xvfb-run -a -s "-screen 0 640x480x24" build-harden-fuzz/tests/fuzz/model_fuzzer \
//       -max_total_time=1800 -max_len=65536 -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
//       -close_fd_mask=1 \
//       -artifact_prefix=$PWD/ -dict=$PWD/tests/fuzz/model.dict \
//       /tmp/model-corpus $PWD/tests/fuzz/corpus/model </dev/null
//
// Assimp itself is not instrumented, so inside the importer the fuzzer is guided only by the
// corpus and the dictionary; it sees coverage in the game's own conversion code.
#include "FuzzSupport.h"

#include "render/MeshComponent.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <glm/gtc/matrix_transform.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::array<const char*, 3> extensions{".obj", ".fbx", ".3ds"};
// One plain model and one for every rule that model loading applies by name.
constexpr std::array<const char*, 7> modelNames{
    "model", "skybox", "terrain", "single", "SSD+WE", "uvbox", "finallightmapBaked",
};

// The materials an OBJ input can use without having to invent a library of its own.
constexpr const char* materialLibrary = "newmtl painted\n"
                                        "Kd 1 1 1\n"
                                        "map_Kd crate.png\n"
                                        "newmtl baked\n"
                                        "map_Kd 2.png\n"
                                        "newmtl missing\n"
                                        "map_Kd nowhere.png\n"
                                        "newmtl bare\n"
                                        "Kd 0.5 0.5 0.5\n";

CameraComponent camera{
    glm::lookAt(glm::vec3(0.0f, 0.0f, 5.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f))};
CameraView cameraView;

void require(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "model_fuzzer: %s\n", what);
    std::abort();
}

void checkComponent(const MeshComponent& component, const std::string& modelPath) {
    require(component.meshes.empty() || component.path == modelPath,
            "meshes were imported but the path was not kept");
    bool textureIdSeen = component.textureId == 0;
    for (const Mesh& mesh : component.meshes) {
        for (GLuint index : mesh.indices)
            require(index < mesh.vertices.size(), "an index points past the vertices");
        require((mesh.vao != 0) == (!mesh.vertices.empty() && !mesh.indices.empty()),
                "a mesh was uploaded without geometry, or not uploaded with it");
        require(mesh.shader != nullptr, "a mesh has no shader program");
        for (const Texture* texture : mesh.textures) {
            require(texture != nullptr, "a mesh lists a null texture");
            textureIdSeen = textureIdSeen || texture->id == component.textureId;
        }
    }
    require(textureIdSeen, "textureId is none of the loaded textures");
    require(!(component.radius < 0.0f), "the bounding radius is negative");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // A missing texture waits for one character; at the end of input it returns at once.
    if (std::freopen("/dev/null", "r", stdin) == nullptr)
        std::abort();
    fuzz_support::startHiddenGlContext();
    fuzz_support::enterGameWorkingDirectory();
    const std::string_view library(materialLibrary);
    fuzz_support::writeBytes("Resources/models/fuzz.mtl",
                             reinterpret_cast<const std::uint8_t*>(library.data()), library.size());

    camera.projection = cameraProjection(1.0f);
    cameraView.camera = &camera;
    cameraView.worldTransform = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, 5.0f));
    activeCameraView = &cameraView;
    sceneLight.position = glm::vec3(10.0f, 10.0f, 10.0f);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t selector = data[0];
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    // A texture name climbing out of the texture directory could reach a file that is no image,
    // which DevIL refuses by ending the process: that is the loader's defined behaviour, not a
    // finding. Inside the directory there are only valid PNGs.
    if (file.find("..") != std::string_view::npos)
        return -1;

    const std::string modelPath = std::string("Resources/models/") +
                                  modelNames[(selector / extensions.size()) % modelNames.size()] +
                                  extensions[selector % extensions.size()];
    fuzz_support::writeBytes(modelPath, data + 1, size - 1);

    MeshComponent component;
    component.load(modelPath);
    fuzz_support::trapOnGlErrors("loading");
    checkComponent(component, modelPath);

    component.draw();
    fuzz_support::trapOnGlErrors("drawing");

    fuzz_support::releaseComponent(component);
    return 0;
}
