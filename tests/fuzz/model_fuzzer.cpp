// Fuzzes model loading through MeshComponent::load, with the game's import flags, conversion,
// upload and one draw: indices inside the vertices, no OpenGL error, no memory touched that is
// not ours. The first byte chooses the extension (byte % 3) and the name ((byte / 3) % 7), which
// decides shaders, light maps and animation frames; the rest is the file, which may use the
// material library "fuzz.mtl" beside it. Run with -max_len=65536 -timeout=10 -rss_limit_mb=2048
// -close_fd_mask=1 and ASAN_OPTIONS=detect_leaks=0: Assimp 5.2 leaks parts of a partly built
// scene on most damaged FBX files, and checking after each would make fuzzing crawl.
#include "FuzzSupport.h"
#include "TestSupport.h"

#include "render/MeshComponent.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <glm/gtc/matrix_transform.hpp>

#include <array>
#include <string>
#include <string_view>

using fuzz_support::require;

namespace {

constexpr std::array<const char*, 3> extensions{".obj", ".fbx", ".3ds"};
// One plain model and one for every rule that model loading applies by name.
constexpr std::array<const char*, 7> modelNames{
    "model", "skybox", "terrain", "single", "SSD+WE", "uvbox", "finallightmapBaked",
};

// Materials with textures that exist, one that does not, and none.
constexpr const char* materialLibrary = "newmtl painted\nKd 1 1 1\nmap_Kd crate.png\n"
                                        "newmtl baked\nmap_Kd 2.png\n"
                                        "newmtl missing\nmap_Kd nowhere.png\n"
                                        "newmtl bare\nKd 0.5 0.5 0.5\n";

CameraComponent camera{
    glm::lookAt(glm::vec3(0.0f, 0.0f, 5.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f))};
CameraView cameraView;

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
    fuzz_support::startLoadingFuzzer();
    testing_support::writeFile("Resources/models/fuzz.mtl", materialLibrary);

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
    testing_support::writeFile(modelPath, std::string(file));

    MeshComponent component;
    component.load(modelPath);
    fuzz_support::trapOnGlErrors("loading");
    checkComponent(component, modelPath);

    component.draw();
    fuzz_support::trapOnGlErrors("drawing");

    fuzz_support::releaseComponent(component);
    return 0;
}
