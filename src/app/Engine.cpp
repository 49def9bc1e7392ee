#include "app/Engine.h"

#include "app/DebugOutput.h"
#include "app/EngineConfig.h"
#include "app/GameBase.h"
#include "app/InputHandler.h"
#include "audio/SoundEngine.h"
#include "platform/GamepadMapping.h"
#include "platform/GlfwGamepad.h"
#include "platform/KeyBindings.h"
#include "platform/PlayerControls.h"
#include "platform/ShutdownSignal.h"
#include "render/ShaderProgram.h"
#include "text/Hud.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <IL/il.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <chrono>
#include <fstream>
#include <iostream>
#include <optional>

namespace {

// The scene and the overlay use this canvas, whatever the window's size, unless the window fit
// is on.
constexpr int canvasWidth = 1600;
constexpr int canvasHeight = 800;
constexpr float switchCooldownSeconds = 1.0f;
constexpr int mipmapModeCount = 3;

const char* const configPath = "config.js";
// Custom gamepad mappings, beside the configuration.
const char* const gamepadMappingsPath = "gamecontrollerdb.txt";
// The player's own keys, beside the configuration; without it every action has its default key.
const char* const keyBindingsPath = "keys.js";
const char* const windowTitle = "Zephrane";

} // namespace

// ---------------------------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------------------------

int Engine::init() {
    std::optional<EngineConfig> config;
    {
        std::ifstream file(configPath); // a missing file reads as an empty document
        std::string errors;
        config = EngineConfig::parse(file, errors);
        if (!config) {
            std::cout << "Failed to parse configuration file\n" << errors;
            return 4;
        }
    }

    if (std::ifstream file(keyBindingsPath); file) {
        std::string error;
        auto parsed = KeyBindings::parse(file, error);
        if (!parsed) {
            std::cout << "Failed to read the key bindings in " << keyBindingsPath << "\n" << error;
            return 5;
        }
        bindings = *parsed;
    }
    musicVolume = config->musicVolume;
    effectsVolume = config->effectsVolume;

    windowFit = config->fitWindow == 1;
    configuredWidth = config->width;
    configuredHeight = config->height;
    scaleControl = RenderScaleControl(config->renderScale, config->targetFps);

    if (!glfwInit()) {
        std::cout << "GLFW failed." << std::endl;
        return 3;
    }
    setupDebugOutput();
    GlfwGamepad::loadMappings(gamepadMappingsPath);

    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, config->openglMajor);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, config->openglMinor);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);

    GLFWmonitor* monitor = nullptr;
    if (config->fullscreen == 1) {
        monitor = glfwGetPrimaryMonitor();
        if (config->refreshRate > 0)
            glfwWindowHint(GLFW_REFRESH_RATE, config->refreshRate);
    }
    // GLFW refuses sizes at or below zero, and asserts on negative ones: never pass them.
    if (config->width > 0 && config->height > 0)
        window = glfwCreateWindow(config->width, config->height, windowTitle, monitor, nullptr);
    if (!window) {
        glfwTerminate();
        std::cout << "No window." << std::endl;
        return 2;
    }
    glfwMakeContextCurrent(window);

    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        glfwTerminate();
        std::cout << "Could not load GLEW." << std::endl;
        return 3;
    }
    // GLEW's probing on a core context can leave an error flag set; it is not ours.
    glGetError();

    // Contexts older than 4.3 may lack the core entry point; the extension serves then, and
    // without either there is no debug output to install.
    if (glDebugMessageCallback)
        glDebugMessageCallback(debugCallback, nullptr);
    else if (glDebugMessageCallbackARB)
        glDebugMessageCallbackARB(debugCallback, nullptr);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);

    ilInit();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Frame loop
// ---------------------------------------------------------------------------------------------

void Engine::mainLoop() {
    GlfwClock glfwClock;
    GlfwKeyboard glfwKeyboard(window);
    // The player's keys apply to the real keyboard only: a driver's keyboard (a replay script)
    // already speaks in actions, so a script plays the same under any bindings.
    BoundKeyboard boundKeyboard(glfwKeyboard, bindings);
    FrameClock& clock = hooks.clock ? *hooks.clock : glfwClock;
    keyboard = hooks.keyboard ? hooks.keyboard : &boundKeyboard;
    GlfwGamepad glfwGamepad;
    GamepadSource* padSource = hooks.gamepad    ? hooks.gamepad
                               : hooks.keyboard ? nullptr
                                                : &glfwGamepad;
    GamepadMapping gamepad;
    PlayerControls playerControls(*keyboard, gamepad);
    controls = &playerControls;
    const KeyboardState& keys = playerControls;
    if (hooks.swapInterval)
        glfwSwapInterval(*hooks.swapInterval);

    std::optional<FramebufferWatch> framebuffer;
    if (windowFit)
        framebuffer.emplace(window);

    double previousTime = clock.now();
    if (framebuffer)
        fitToWindow(*framebuffer);
    else
        glViewport(0, 0, canvasWidth, canvasHeight);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    ShaderProgram textShader("Shader/texture_freetype.vert", "Shader/texture_freetype.frag");
    glUseProgram(textShader.program);
    const glm::mat4 textProjection =
        glm::ortho(0.0f, float(canvasWidth), 0.0f, float(canvasHeight), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(textShader.program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(textProjection));
    initTextRenderer();

    int componentsDrawn = 0; // lives for the whole loop: help frames show the last count
    // The scale controller measures wall time, whatever clock the game's time comes from.
    using WallClock = std::chrono::steady_clock;
    std::optional<WallClock::time_point> frameStart;
    bool drewScene = false; // in the last frame; help frames would tell it nothing
    for (long frameIndex = 0; !glfwWindowShouldClose(window); ++frameIndex) {
        // Time
        if (scaleControl.hasTarget()) {
            const auto wallNow = WallClock::now();
            if (frameStart && drewScene)
                scaleControl.frameTook(
                    std::chrono::duration<double>(wallNow - *frameStart).count());
            frameStart = wallNow;
        }
        const double now = clock.now();
        const float deltaTime = float(now - previousTime);
        previousTime = now;
        countDownCooldowns(deltaTime);

        if (framebuffer)
            fitToWindow(*framebuffer);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwKeyboard.pollEvents();
        padState = padSource ? padSource->read() : GamepadState{};
        gamepad.update(padState, deltaTime);
        // Ctrl+C or a termination request closes the window as its close button would.
        if (ShutdownSignal::requested())
            glfwSetWindowShouldClose(window, GLFW_TRUE);

        // Input
        if (acceptSwitch(GLFW_KEY_F1, helpCooldown))
            helpScreen = !helpScreen;
        if (acceptSwitch(GLFW_KEY_M, muteCooldown))
            toggleMute();
        input->poll(keys, deltaTime);

        drewScene = !helpScreen;
        if (helpScreen) {
            // The game stands still: no update, no draw, its clock does not run.
            drawHelpScreen(textShader, bindings);
        } else {
            // Update and draw
            game->update(deltaTime);
            drawScene(componentsDrawn);
            applyRenderSwitches();

            // Overlay: always filled and normally blended, whatever the switches say.
            glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            if (acceptSwitch(GLFW_KEY_F2, performanceCooldown))
                performanceOutput = !performanceOutput;
            const PerformanceFigures figures{deltaTime,
                                             wireframe,
                                             transparency,
                                             bilinearSampling,
                                             mipmapMode,
                                             frustumCulling,
                                             componentsDrawn,
                                             scaleControl.scale(),
                                             scaleControl.hasTarget()};
            drawOverlay(textShader, performanceOutput, figures, game->points, game->level,
                        game->timeLeft);

            if (transparency)
                glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            if (wireframe)
                glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
            if (game->gameOver && !cheatMode) {
                if (finalPoints == 0.0f)
                    finalPoints = game->points;
                drawGameOverScreen(textShader, finalPoints);
            }
        }

        // Present
        if (hooks.observer)
            hooks.observer->beforePresent(
                FrameInfo{frameIndex, deltaTime, componentsDrawn, scaleControl.scale()}, *this);
        glfwSwapBuffers(window);
        if (keys.isDown(GLFW_KEY_ESCAPE))
            glfwSetWindowShouldClose(window, GLFW_TRUE);
    }
    // textShader's destructor deletes its program and shaders here.
}

// Follows the framebuffer's size with the viewport. While the picture does not fill the
// framebuffer, the bars are cleared to black every frame (a swapped buffer keeps nothing) and the
// scissor keeps the frame's own clears, the help screen's colour among them, inside the picture.
void Engine::fitToWindow(FramebufferWatch& framebuffer) {
    int width = 0, height = 0;
    if (framebuffer.changed(width, height)) {
        letterbox = fitLetterbox(width, height, configuredWidth, configuredHeight);
        letterboxed = letterbox.width != width || letterbox.height != height; // bars somewhere
        glViewport(letterbox.x, letterbox.y, letterbox.width, letterbox.height);
        glScissor(letterbox.x, letterbox.y, letterbox.width, letterbox.height);
        if (!letterboxed)
            glDisable(GL_SCISSOR_TEST);
    }
    if (!letterboxed)
        return;
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
    glEnable(GL_SCISSOR_TEST);
}

// At full scale straight into the window's framebuffer, as always; below it through the scaler.
void Engine::drawScene(int& componentsDrawn) {
    const int scale = scaleControl.scale();
    if (scale == RenderScaleControl::fullScale) {
        componentsDrawn = game->draw(frustumCulling);
        return;
    }
    sceneScaler.begin(windowFit ? letterbox : Letterbox{0, 0, canvasWidth, canvasHeight}, scale,
                      letterboxed);
    componentsDrawn = game->draw(frustumCulling);
    sceneScaler.end();
}

void Engine::countDownCooldowns(float deltaTime) {
    for (float* cooldown :
         {&wireframeCooldown, &transparencyCooldown, &samplingCooldown, &mipmapCooldown,
          &performanceCooldown, &helpCooldown, &cheatCooldown, &cullingCooldown, &muteCooldown})
        if (*cooldown > 0.0f)
            *cooldown -= deltaTime;
}

// A held switch key is accepted once its cooldown has run out, which restarts the cooldown.
bool Engine::acceptSwitch(int glfwKey, float& cooldown) {
    if (cooldown > 0.0f || !controls->isDown(glfwKey))
        return false;
    cooldown = switchCooldownSeconds;
    return true;
}

// Works on the help screen too: the sound goes on while the game stands still.
void Engine::toggleMute() {
    muted = !muted;
    if (game->soundEngine != nullptr)
        game->soundEngine->setMuted(muted);
    std::cout << (muted ? "Sound off" : "Sound on") << std::endl;
}

void Engine::applyRenderSwitches() {
    if (acceptSwitch(GLFW_KEY_F8, cullingCooldown))
        frustumCulling = !frustumCulling; // takes effect in the next frame's draw
    if (acceptSwitch(GLFW_KEY_F4, samplingCooldown))
        bilinearSampling = !bilinearSampling;
    if (acceptSwitch(GLFW_KEY_F5, mipmapCooldown))
        mipmapMode = (mipmapMode + 1) % mipmapModeCount;
    if (acceptSwitch(GLFW_KEY_F3, wireframeCooldown)) {
        glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_FILL : GL_LINE);
        wireframe = !wireframe;
    }
    if (acceptSwitch(GLFW_KEY_F9, transparencyCooldown)) {
        if (transparency) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glEnable(GL_DEPTH_TEST);
        } else {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glEnable(GL_BLEND);
            glDisable(GL_DEPTH_TEST);
        }
        transparency = !transparency;
    }
    if (acceptSwitch(GLFW_KEY_F6, cheatCooldown))
        cheatMode = !cheatMode;
}
