// Draws the three text screens with the game's own text code into a hidden 1600 x 800 window and
// writes them as PNG pictures: help-screen.png, overlay.png and game-over.png.
//
// Run it from a game directory (it reads "Shader/texture_freetype.vert", ".frag" and
// "Resources/fonts/arial.ttf" like the game does):
//   zephrane-hudshots [output directory, default "docs"]

#include "HiddenGlContext.h"
#include "render/ShaderProgram.h"
#include "text/Hud.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <filesystem>
#include <iostream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int canvasWidth = 1600; // pixels, the game's fixed text canvas
constexpr int canvasHeight = 800;
constexpr int rgbBytes = 3;
// The overlay is drawn over a plain night-sky blue so that every line stays readable.
constexpr glm::vec3 overlayBackdrop(0.05f, 0.1f, 0.3f);

bool savePicture(const fs::path& path) {
    std::vector<unsigned char> pixels(static_cast<size_t>(canvasWidth) * canvasHeight * rgbBytes);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, canvasWidth, canvasHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // OpenGL's first row is the bottom one; PNG starts at the top.
    stbi_flip_vertically_on_write(1);
    if (stbi_write_png(path.c_str(), canvasWidth, canvasHeight, rgbBytes, pixels.data(),
                       canvasWidth * rgbBytes) == 0) {
        std::cout << "hudshots: could not write " << path.string() << std::endl;
        return false;
    }
    std::cout << "hudshots: wrote " << path.string() << std::endl;
    return true;
}

bool drawScreens(const fs::path& outputDir) {
    // The frame loop's text set-up: canvas viewport, normal blending, ortho projection.
    ShaderProgram textShader("Shader/texture_freetype.vert", "Shader/texture_freetype.frag");
    glViewport(0, 0, canvasWidth, canvasHeight);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(textShader.program);
    const glm::mat4 projection =
        glm::ortho(0.0f, float(canvasWidth), 0.0f, float(canvasHeight), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(textShader.program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(projection));
    initTextRenderer();
    if (glyphs.empty()) {
        std::cout << "hudshots: no glyphs were loaded, see the lines above" << std::endl;
        return false;
    }

    bool written = true;
    drawHelpScreen(textShader);
    written = savePicture(outputDir / "help-screen.png") && written;

    // The overlay's example figures: 62 frames per second, default switches, 12 components.
    PerformanceFigures figures;
    figures.deltaTime = 0.0161f;
    figures.componentsDrawn = 12;
    glClearColor(overlayBackdrop.r, overlayBackdrop.g, overlayBackdrop.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    drawOverlay(textShader, true, figures, 3.21f, 1, 97.0f);
    written = savePicture(outputDir / "overlay.png") && written;

    drawGameOverScreen(textShader, 3000.0f);
    written = savePicture(outputDir / "game-over.png") && written;
    return written;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path outputDir = argc > 1 ? argv[1] : "docs";
    std::error_code error;
    fs::create_directories(outputDir, error);
    if (error) {
        std::cout << "hudshots: cannot create " << outputDir.string() << ": " << error.message()
                  << std::endl;
        return 1;
    }
    GLFWwindow* window =
        openHiddenGlContext(canvasWidth, canvasHeight, "Zephrane HUD pictures", false);
    if (window == nullptr) {
        std::cout << "hudshots: no OpenGL 4.3 core context (is there a display?)" << std::endl;
        return 1;
    }
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (width != canvasWidth || height != canvasHeight) {
        std::cout << "hudshots: the window's framebuffer is " << width << " x " << height
                  << ", not 1600 x 800" << std::endl;
        return 1;
    }
    const bool written = drawScreens(outputDir);
    glfwTerminate();
    return written ? 0 : 1;
}
