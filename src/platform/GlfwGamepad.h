#pragma once

#include "platform/GamepadState.h"

#include <string>
#include <string_view>

// The first connected gamepad, read through GLFW once per frame. A pad plugged in while the
// game runs is read from the next frame on; one pulled out reads as a pad at rest. Each
// change writes one line on standard error naming the pad ("Gamepad connected: <name>").
// Needs GLFW initialised.
class GlfwGamepad final : public GamepadSource {
public:
    GamepadState read() override;

    // Adds the mappings of a file in the community gamecontrollerdb.txt format to GLFW's
    // built-in ones. A missing file is fine; a damaged one is refused as a whole with one line
    // on standard error, and the built-in mappings stay as they were.
    static void loadMappings(const char* path);

    // Whether the text holds nothing but mapping lines (GUID,name,field:value,...), comments
    // and blank lines; otherwise `problem` names the first bad line.
    static bool isMappingText(std::string_view text, std::string& problem);

private:
    int joystick = -1; // the GLFW joystick id of the pad in use, -1 for none
    std::string name;
};
