#pragma once

#include "scene/InputAction.h"

#include <array>
#include <utility>

class GameBase;
class KeyboardState;

// Turns every held key into an InputAction for the game, once per frame, in a fixed key order
// (several actions per frame are normal). Keys are level-triggered; one-shot switches are the
// receivers' business (cooldowns).
class InputHandler {
public:
    // (GLFW key code, action) in the order the keys are tested.
    static const std::array<std::pair<int, InputAction>, 19> keyTable;

    explicit InputHandler(GameBase* game) : game(game) {}

    void poll(const KeyboardState& keys, float deltaTime);

    GameBase* game;
};
