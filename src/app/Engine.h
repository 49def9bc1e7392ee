#pragma once

#include "app/RenderScaleControl.h"
#include "platform/FrameSource.h"
#include "platform/GamepadState.h"
#include "platform/KeyBindings.h"
#include "platform/WindowFit.h"
#include "render/SceneScaler.h"

struct GLFWwindow;
class InputHandler;
class GameBase;

// The window, the OpenGL context and the frame loop, with the render and display switches
// (F1 help, F2 performance line, F3 wireframe, F4/F5 overlay copies of the filter state,
// F6 cheat mode, F8 frustum culling, F9 transparency), each a one-shot toggle with a one-second
// cooldown counted down by the frame time.
//
// init() returns 0 when the window and context are ready, otherwise a status code after
// writing its message: 2 no window, 3 GLFW or GLEW failed, 4 config.js failed to parse, 5 keys.js
// failed to read. The mute key (M) silences all sound and brings it back, also on the help screen.
// mainLoop() runs frames until ESC or the window's close button, then deletes the text shader.
// The scene and the overlay are drawn into 1600 x 800 pixels at the framebuffer's lower left;
// with the window fit they fill the largest rectangle of the configured window's shape that fits
// the framebuffer, centred, and follow its size. Below a render scale of 100 ("renderscale", or
// lowered by the "targetfps" controller) the scene goes through a SceneScaler; the help screen,
// the overlay and the game-over screen are always drawn at full size.
class Engine {
public:
    int init();
    void mainLoop();

    bool transparency = false;
    float transparencyCooldown = 0.0f;
    bool wireframe = false;
    float wireframeCooldown = 0.0f;
    bool bilinearSampling = true;
    int mipmapMode = 0;
    float samplingCooldown = 0.0f;
    float mipmapCooldown = 0.0f;
    bool performanceOutput = true;
    float performanceCooldown = 0.0f;
    bool helpScreen = false;
    float helpCooldown = 0.0f;
    bool cheatMode = false;
    float cheatCooldown = 0.0f;
    bool frustumCulling = false;
    float cullingCooldown = 0.0f;
    bool muted = false;
    float muteCooldown = 0.0f;
    float finalPoints = 0.0f;
    GLFWwindow* window = nullptr;
    InputHandler* input = nullptr;
    GameBase* game = nullptr;

    // From init: the player's keys, and the loudness the game hands its sound engine.
    KeyBindings bindings;
    int musicVolume{};
    int effectsVolume{};

    // Where the loop takes time and keys from; the defaults read GLFW.
    FrameHooks hooks;

    // The keyboard the running frame reads (the hook's or the window's) and the gamepad as it
    // stood; only during mainLoop. The game sees the two together.
    const KeyboardState& keys() const { return *keyboard; }
    const GamepadState& pad() const { return padState; }

private:
    KeyboardState* keyboard = nullptr;       // the hook's or GLFW's, during mainLoop
    const KeyboardState* controls = nullptr; // keyboard and gamepad, during mainLoop
    GamepadState padState;

    void countDownCooldowns(float deltaTime);
    bool acceptSwitch(int glfwKey, float& cooldown);
    void applyRenderSwitches();
    void toggleMute();
    void fitToWindow(FramebufferWatch& framebuffer);

    // The window fit ("fitwindow": 1 in config.js) and the shape it keeps, from init.
    bool windowFit = false;
    int configuredWidth = 0, configuredHeight = 0;
    Letterbox letterbox;
    bool letterboxed = false; // bars around the picture: clears are confined to it

    // The render scale ("renderscale" and "targetfps"), from init.
    RenderScaleControl scaleControl{RenderScaleControl::fullScale, 0};
    SceneScaler sceneScaler;
    void drawScene(int& componentsDrawn);
};
