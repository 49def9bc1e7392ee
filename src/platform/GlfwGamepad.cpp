#include "platform/GlfwGamepad.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

constexpr std::size_t guidLength = 32;
// GLFW skips longer lines without a word; a file that needs them is not what it claims to be.
constexpr std::size_t maxMappingLineLength = 1023;
// The community database is well under a megabyte.
constexpr std::streamsize maxMappingFileBytes = 4 << 20;

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isMappingLine(std::string_view line) {
    if (line.size() > maxMappingLineLength || line.size() <= guidLength || line[guidLength] != ',')
        return false;
    for (std::size_t i = 0; i < guidLength; ++i)
        if (!isHexDigit(line[i]))
            return false;
    const std::size_t nameEnd = line.find(',', guidLength + 1);
    if (nameEnd == std::string_view::npos || nameEnd == guidLength + 1)
        return false;
    // Then element:source fields; a trailing comma leaves an empty last field.
    std::string_view fields = line.substr(nameEnd + 1);
    while (!fields.empty()) {
        const std::size_t end = std::min(fields.find(','), fields.size());
        const std::string_view field = fields.substr(0, end);
        const std::size_t colon = field.find(':');
        if (colon == 0 || colon == std::string_view::npos || colon + 1 == field.size())
            return false;
        fields.remove_prefix(std::min(end + 1, fields.size()));
    }
    return true;
}

} // namespace

GamepadState GlfwGamepad::read() {
    // Virtual X servers have no joysticks: without a real pad `found` stays -1, every state is
    // the empty one and the branches below that follow a pad are not taken (the replays hand the
    // game their pad as a GamepadState instead).
    int found = -1;
    for (int id = GLFW_JOYSTICK_1; id <= GLFW_JOYSTICK_LAST && found < 0; ++id)
        if (glfwJoystickIsGamepad(id))
            found = id;

    const char* foundName = found >= 0 ? glfwGetGamepadName(found) : nullptr;
    if (found != joystick || (foundName != nullptr && name != foundName)) {
        if (joystick >= 0)
            std::cerr << "Gamepad disconnected: " << name << std::endl;
        joystick = found;
        name = foundName != nullptr ? foundName : "";
        if (joystick >= 0)
            std::cerr << "Gamepad connected: " << name << std::endl;
    }

    GLFWgamepadstate glfwState;
    if (joystick < 0 || !glfwGetGamepadState(joystick, &glfwState))
        return {};
    GamepadState state;
    state.connected = true;
    for (int i = 0; i < GamepadState::buttonCount; ++i)
        state.buttons[i] = glfwState.buttons[i] == GLFW_PRESS;
    for (int i = 0; i < GamepadState::axisCount; ++i)
        state.axes[i] = glfwState.axes[i];
    return state;
}

bool GlfwGamepad::isMappingText(std::string_view text, std::string& problem) {
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (!isMappingLine(line)) {
            problem = "line " + std::to_string(lineNumber) + " is not a gamepad mapping";
            return false;
        }
    }
    return true;
}

void GlfwGamepad::loadMappings(const char* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return;
    std::string text(static_cast<std::size_t>(maxMappingFileBytes) + 1, '\0');
    file.read(text.data(), maxMappingFileBytes + 1);
    text.resize(static_cast<std::size_t>(file.gcount()));

    std::string problem;
    if (text.size() > static_cast<std::size_t>(maxMappingFileBytes))
        problem = "it is larger than 4 MiB";
    else if (text.find('\0') != std::string::npos)
        problem = "it is not text";
    // A good file is taken here: the install test's game runs bring one, but not in the
    // sanitizer build, whose runs count coverage.
    else if (isMappingText(text, problem) && glfwUpdateGamepadMappings(text.c_str()) == GLFW_TRUE)
        return;
    else if (problem.empty()) // GLFW 3.3 refuses text only while it is not initialized
        problem = "GLFW refused it";
    std::cerr << "Gamepad: " << path << " was not loaded (" << problem
              << "); the built-in mappings stay" << std::endl;
}
