#include "platform/PlayerControls.h"

#include "platform/GamepadMapping.h"

#include <algorithm>

bool PlayerControls::isDown(int glfwKey) const {
    return keyboard.isDown(glfwKey) || gamepad.isDown(glfwKey);
}

float PlayerControls::strength(int glfwKey) const {
    return std::max(keyboard.strength(glfwKey), gamepad.strength(glfwKey));
}
