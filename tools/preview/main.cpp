// Draws one model file through the game's own model loading and mesh drawing into a PNG picture.
// The pictures under docs/models/ are made with it (scripts/make-previews.sh); it is also the
// quickest look at a new or regenerated model before it goes into the game.
//
// Run it from the game's directory: shaders and textures are read from "Shader/" and
// "Resources/textures/" exactly as the game reads them. See previewUsage() for the options.

#include "ModelExtent.h"
#include "OffscreenTarget.h"
#include "PreviewFraming.h"
#include "PreviewOptions.h"

#include "HiddenGlContext.h"
#include "app/DebugOutput.h"
#include "render/MeshComponent.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <glm/gtc/matrix_transform.hpp>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <array>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

// The window is never shown or drawn into: the picture has its own framebuffer.
constexpr int windowSide = 64; // pixels
constexpr int rgbBytes = 3;
constexpr int pngCompressionLevel = 9; // zlib's strongest

// A neutral slate that neither the textures' colours nor black surfaces blend into.
constexpr glm::vec3 backgroundColor(0.22f, 0.24f, 0.27f);
// A plain white light: the game's red one would tint every picture.
constexpr glm::vec3 previewLightColor(1.0f, 1.0f, 1.0f);

// The extra matrices the game gives the player's jet and the rockets (radians).
constexpr float angle180Degrees = 3.1415927f;
constexpr float angle270Degrees = 4.712389f;
const glm::vec3 axisX(1.0f, 0.0f, 0.0f);
const glm::vec3 axisZ(0.0f, 0.0f, 1.0f);

// Every mesh shader pair model loading may choose; a missing one would end the process in
// the shader code with a wait for a key, so they are looked for first.
constexpr std::array<const char*, 5> meshShaderFiles{
    "Shader/texture.vert", "Shader/texture.frag", "Shader/texture_l.vert", "Shader/texture_l.frag",
    "Shader/texture_usual.frag"};

int fail(const std::string& message) {
    std::cerr << "zephrane-preview: " << message << std::endl;
    return exitFailure;
}

glm::mat4 componentTurn(PreviewTurn turn) {
    const glm::mat4 identity(1.0f);
    switch (turn) {
    case PreviewTurn::Jet:
        return glm::rotate(glm::rotate(identity, angle270Degrees, axisX), angle180Degrees, axisZ);
    case PreviewTurn::Rocket:
        return glm::rotate(identity, angle270Degrees, axisX);
    case PreviewTurn::None:
        break;
    }
    return identity;
}

void reportGlfwError(int code, const char* description) {
    std::cerr << "zephrane-preview: GLFW error " << code << ": " << description << std::endl;
}

// A hidden window whose only purpose is an OpenGL 4.3 core debug context with the game's
// debug callback, like the game's own.
GLFWwindow* openHiddenContext() {
    glfwSetErrorCallback(reportGlfwError);
    GLFWwindow* window =
        openHiddenGlContext(windowSide, windowSide, "Zephrane model preview", true);
    if (window == nullptr)
        return nullptr;
    glDebugMessageCallback(debugCallback, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    // Driver notes (buffer placement and the like) are no problem of the model's.
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DEBUG_SEVERITY_NOTIFICATION, 0, nullptr,
                          GL_FALSE);
    return window;
}

bool writePicture(const std::string& path, const OffscreenTarget& target,
                  const std::vector<unsigned char>& pixels) {
    // OpenGL's first row is the bottom one; a PNG starts at the top.
    stbi_flip_vertically_on_write(1);
    // Pictures are committed to the repository: the smaller, the better.
    stbi_write_png_compression_level = pngCompressionLevel;
    return stbi_write_png(path.c_str(), target.width, target.height, rgbBytes, pixels.data(),
                          target.width * rgbBytes) != 0;
}

int preview(const PreviewOptions& options) {
    std::error_code error;
    if (!fs::is_regular_file(options.modelPath, error))
        return fail("cannot open model file '" + options.modelPath + "'");
    for (const char* file : meshShaderFiles) {
        if (!fs::is_regular_file(file, error))
            return fail(std::string(file) +
                        " not found: run the preview from the game's directory (the repository "
                        "root)");
    }

    if (openHiddenContext() == nullptr)
        return fail("no OpenGL 4.3 core context (is there a display? try xvfb-run)");
    ilInit();

    // Objects live until the process ends, as in the game.
    auto* model = new MeshComponent();
    model->load(options.modelPath);
    model->localTransform = componentTurn(options.turn);
    const ModelExtent bounds = measureModel(*model);
    if (bounds.empty)
        return fail("no mesh with vertices was imported from '" + options.modelPath + "'");

    auto* target = new OffscreenTarget();
    std::string targetError;
    if (!target->create(options.width, options.height, targetError))
        return fail(targetError);

    const float aspectRatio =
        static_cast<float>(options.width) / static_cast<float>(options.height);
    const PreviewFraming framing = framePreview(bounds, options, aspectRatio);
    auto* camera = new CameraComponent(framing.view);
    camera->projection = framing.projection;
    camera->eyeMatrix = glm::translate(glm::mat4(1.0f), framing.eye);
    auto* cameraView = new CameraView();
    cameraView->worldTransform = camera->eyeMatrix;
    cameraView->camera = camera;
    activeCameraView = cameraView;
    sceneLight.position = framing.lightPosition;
    sceneLight.color = previewLightColor;

    target->bind();
    glClearColor(backgroundColor.r, backgroundColor.g, backgroundColor.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    model->draw();
    const std::vector<unsigned char> pixels = target->readPixels();

    if (!writePicture(options.outputPath, *target, pixels))
        return fail("cannot write '" + options.outputPath + "'");
    std::cout << "zephrane-preview: wrote " << options.outputPath << " (" << options.width << " x "
              << options.height << ", " << model->meshes.size() << " mesh(es), radius "
              << bounds.radius << ")" << std::endl;
    glfwTerminate();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PreviewOptions options;
    std::string error;
    if (!parsePreviewOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "zephrane-preview: " << error << "\n" << previewUsage();
        return exitUsage;
    }
    try {
        return preview(options);
    } catch (const std::exception& exception) {
        return fail(std::string("unexpected failure: ") + exception.what());
    }
}
