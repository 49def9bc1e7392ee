#pragma once

#include <array>

// One frame's reading of a gamepad in the standard layout (GLFW's gamepad API: fifteen
// buttons, six axes, indexed by the GLFW_GAMEPAD_BUTTON_* and GLFW_GAMEPAD_AXIS_* codes).
// Sticks run from -1 to 1 with forward and left negative; triggers run from -1 at rest to 1
// fully pulled. A state that is not `connected` is a pad at rest.
struct GamepadState {
    static constexpr int buttonCount = 15;
    static constexpr int axisCount = 6;
    static constexpr float triggerAtRest = -1.0f;

    bool connected = false; // only assigned as a bool: UBSan's check of its value never fires
    std::array<bool, buttonCount> buttons{};
    // Left x, left y, right x, right y, left trigger, right trigger.
    std::array<float, axisCount> axes{0.0f, 0.0f, 0.0f, 0.0f, triggerAtRest, triggerAtRest};

    bool operator==(const GamepadState&) const = default;
};

// Where the frame loop takes the pad from: the first connected gamepad, or a replay's script.
class GamepadSource {
public:
    virtual GamepadState read() = 0;

protected:
    ~GamepadSource() = default;
};
