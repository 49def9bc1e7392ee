#include "platform/GamepadMapping.h"

#include <GLFW/glfw3.h>

#include <cmath>

namespace {

struct ButtonKey {
    int button;
    int glfwKey;
};

const ButtonKey buttonKeys[] = {
    {GLFW_GAMEPAD_BUTTON_A, GLFW_KEY_SPACE},
    {GLFW_GAMEPAD_BUTTON_X, GLFW_KEY_1},
    {GLFW_GAMEPAD_BUTTON_Y, GLFW_KEY_2},
    {GLFW_GAMEPAD_BUTTON_DPAD_UP, GLFW_KEY_F2},
    {GLFW_GAMEPAD_BUTTON_DPAD_DOWN, GLFW_KEY_F3},
    {GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, GLFW_KEY_F8},
    {GLFW_GAMEPAD_BUTTON_RIGHT_BUMPER, GLFW_KEY_F9},
};

// How far a stick half-axis is pushed: the deflection itself past the dead zone, else 0.
float deflection(float axis, float direction) {
    const float amount = axis * direction;
    return amount > GamepadMapping::stickDeadZone ? std::fmin(amount, 1.0f) : 0.0f;
}

bool triggerHeld(float axis) {
    const float travel = (axis - GamepadState::triggerAtRest) / 2.0f;
    return travel > GamepadMapping::triggerHeldTravel;
}

} // namespace

// Under UBSan every bool read below is checked for a value other than 0 or 1; the pad's bools
// are only ever assigned true or false, so that check never fires.
void GamepadMapping::update(const GamepadState& state, float deltaTime) {
    // A pad that is gone holds nothing, whatever it held when it went.
    pad = state.connected ? state : GamepadState{};
    const bool quitChord =
        pad.buttons[GLFW_GAMEPAD_BUTTON_BACK] && pad.buttons[GLFW_GAMEPAD_BUTTON_START];
    quitHeldSeconds = quitChord ? quitHeldSeconds + deltaTime : 0.0f;
}

float GamepadMapping::strength(int glfwKey) const {
    const auto& axes = pad.axes;
    const auto& buttons = pad.buttons;
    switch (glfwKey) {
    case GLFW_KEY_A:
        return deflection(axes[GLFW_GAMEPAD_AXIS_LEFT_X], -1.0f);
    case GLFW_KEY_D:
        return deflection(axes[GLFW_GAMEPAD_AXIS_LEFT_X], 1.0f);
    case GLFW_KEY_UP: // stick forward: nose down, like the UP key
        return deflection(axes[GLFW_GAMEPAD_AXIS_LEFT_Y], -1.0f);
    case GLFW_KEY_DOWN:
        return deflection(axes[GLFW_GAMEPAD_AXIS_LEFT_Y], 1.0f);
    case GLFW_KEY_W:
        return triggerHeld(axes[GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER]) ? 1.0f : 0.0f;
    case GLFW_KEY_S:
        return triggerHeld(axes[GLFW_GAMEPAD_AXIS_LEFT_TRIGGER]) ? 1.0f : 0.0f;
    case GLFW_KEY_F1: // not while start is held too: that is the way out, not the help
        return buttons[GLFW_GAMEPAD_BUTTON_BACK] && !buttons[GLFW_GAMEPAD_BUTTON_START] ? 1.0f
                                                                                        : 0.0f;
    case GLFW_KEY_ESCAPE:
        return quitHeldSeconds >= quitHoldSeconds ? 1.0f : 0.0f;
    default:
        for (const ButtonKey& mapped : buttonKeys)
            if (mapped.glfwKey == glfwKey)
                return buttons[mapped.button] ? 1.0f : 0.0f;
        return 0.0f;
    }
}
