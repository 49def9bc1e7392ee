#pragma once

#include "platform/FrameSource.h"

class GamepadMapping;

// What the player presses this frame: the keyboard and the gamepad together. A key is down
// when either holds it, and its strength is the larger of the two, so a held key and a tilted
// stick at once never turn faster than the key alone.
class PlayerControls final : public KeyboardState {
public:
    PlayerControls(const KeyboardState& keyboard, const GamepadMapping& gamepad)
        : keyboard(keyboard), gamepad(gamepad) {}

    bool isDown(int glfwKey) const override;
    float strength(int glfwKey) const override;

private:
    const KeyboardState& keyboard;
    const GamepadMapping& gamepad;
};
