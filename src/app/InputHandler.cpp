#include "app/InputHandler.h"

#include "platform/FrameSource.h"
#include "app/GameBase.h"

#include <GLFW/glfw3.h>

// Several keys held in one frame reach the game in this order, so the table's order is part of
// the behaviour (a pitch and a shot in the same frame: the rocket leaves pitched). F7 and ESC
// are not actions.
const std::array<std::pair<int, InputAction>, 19> InputHandler::keyTable = {{
    {GLFW_KEY_W, KeyW},       {GLFW_KEY_A, KeyA},         {GLFW_KEY_D, KeyD},
    {GLFW_KEY_S, KeyS},       {GLFW_KEY_UP, KeyUp},       {GLFW_KEY_DOWN, KeyDown},
    {GLFW_KEY_LEFT, KeyLeft}, {GLFW_KEY_RIGHT, KeyRight}, {GLFW_KEY_SPACE, KeySpace},
    {GLFW_KEY_F1, KeyF1},     {GLFW_KEY_F2, KeyF2},       {GLFW_KEY_F3, KeyF3},
    {GLFW_KEY_F4, KeyF4},     {GLFW_KEY_F5, KeyF5},       {GLFW_KEY_F6, KeyF6},
    {GLFW_KEY_F8, KeyF8},     {GLFW_KEY_F9, KeyF9},       {GLFW_KEY_1, Key1},
    {GLFW_KEY_2, Key2},
}};

void InputHandler::poll(const KeyboardState& keys, float deltaTime) {
    if (game == nullptr)
        return;
    // A key part way down (a tilted stick) acts for that part of the frame: the rates the
    // receivers apply per second scale with it.
    for (const auto& [key, action] : keyTable)
        if (const float amount = keys.strength(key); amount > 0.0f)
            game->onAction(action, deltaTime * amount);
}
