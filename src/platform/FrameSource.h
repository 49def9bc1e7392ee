#pragma once

// The two seams through which the frame loop sees the outside world: the clock and the
// keyboard. The game uses the GLFW-backed defaults; a replay drives the very same loop with
// scripted frame times and key states.

#include <bitset>
#include <optional>

struct GLFWwindow;
class Engine;
class GamepadSource;

class FrameClock {
public:
    // Seconds since some fixed start, monotonic.
    virtual double now() = 0;

protected:
    ~FrameClock() = default;
};

class KeyboardState {
public:
    // True while the key (a GLFW key code) is held down in the current frame.
    virtual bool isDown(int glfwKey) const = 0;
    // How far the key is down, 0 to 1: a key is all or nothing, a stick standing in for one
    // may be part way.
    virtual float strength(int glfwKey) const { return isDown(glfwKey) ? 1.0f : 0.0f; }

protected:
    ~KeyboardState() = default;
};

// What the loop tells an observer about the frame it is about to present.
struct FrameInfo {
    long index = 0;          // 0 for the first frame
    float deltaTime = 0.0f;  // the frame time the game was given, seconds
    int componentsDrawn = 0; // as the overlay shows it; a help frame keeps the last game frame's
    int renderScale = 100;   // percent, the scene's share of the picture's width and height
};

// Called once per frame just before the buffers are swapped; the picture of the frame is
// then complete in the back buffer and the engine's switches hold their state for the frame.
// Replays take screenshots and recordings take the frame's keys here.
class FrameObserver {
public:
    virtual void beforePresent(const FrameInfo& frame, const Engine& engine) = 0;

protected:
    ~FrameObserver() = default;
};

class GlfwClock final : public FrameClock {
public:
    double now() override;
};

// The window's real keyboard. A key is down in a frame when it is held at the frame's event
// poll or was pressed at any moment since the previous poll, so a tap shorter than a frame
// still reaches the game once; a held key reads as it always did. Owns the window's key
// callback and user pointer while it lives; one per window.
class GlfwKeyboard final : public KeyboardState {
public:
    explicit GlfwKeyboard(GLFWwindow* window);
    ~GlfwKeyboard();
    GlfwKeyboard(const GlfwKeyboard&) = delete;
    GlfwKeyboard& operator=(const GlfwKeyboard&) = delete;

    // Forgets the previous frame's presses, then polls the window system's events.
    void pollEvents();
    bool isDown(int glfwKey) const override;

private:
    static constexpr int keyCodeCount = 349; // GLFW_KEY_LAST + 1 (checked where GLFW is seen)
    static void onKey(GLFWwindow* window, int key, int scancode, int action, int mods);

    GLFWwindow* window;
    std::bitset<keyCodeCount> pressedSincePoll;
};

// What a driver of the game (the replay program) plugs into the loop. Null members fall back
// to the GLFW defaults; no swapInterval leaves the driver's default.
struct FrameHooks {
    FrameClock* clock = nullptr;
    KeyboardState* keyboard = nullptr;
    // A driver that gives the keyboard and no gamepad gets a pad at rest, never the live one.
    GamepadSource* gamepad = nullptr;
    FrameObserver* observer = nullptr;
    std::optional<int> swapInterval;
};
