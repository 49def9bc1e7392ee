#include "ReplayScript.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>

namespace {

const char* const shotKeyword = "shot";
constexpr char commentMark = '#';

// In GLFW's gamepad order.
const char* const padButtonNames[GamepadState::buttonCount] = {
    "PAD-A",     "PAD-B",  "PAD-X",  "PAD-Y",  "PAD-LB",    "PAD-RB",   "PAD-BACK", "PAD-START",
    "PAD-GUIDE", "PAD-LS", "PAD-RS", "PAD-UP", "PAD-RIGHT", "PAD-DOWN", "PAD-LEFT"};
const char* const padAxisNames[GamepadState::axisCount] = {"LX", "LY", "RX", "RY", "LT", "RT"};

// A pad whose buttons and axes are all at rest drives nothing.
GamepadState normalised(GamepadState pad) {
    pad.connected = false;
    pad.connected = !(pad == GamepadState{});
    return pad;
}

// The shortest text that reads back as the same float.
std::string_view shortest(float value, char (&buffer)[32]) {
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    assert(result.ec == std::errc() && "a float always fits 32 characters");
    return std::string_view(buffer, size_t(result.ptr - buffer));
}

// Reads one pad token into `pad`; false when the word is not one.
bool readPadToken(const std::string& word, GamepadState& pad, std::string& problem) {
    for (int i = 0; i < GamepadState::buttonCount; ++i) {
        if (word == padButtonNames[i]) {
            pad.buttons[i] = true;
            return true;
        }
    }
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos)
        return false;
    const std::string name = word.substr(0, equals);
    for (int i = 0; i < GamepadState::axisCount; ++i) {
        if (name != padAxisNames[i])
            continue;
        float value = 0.0f;
        const char* first = word.data() + equals + 1;
        const char* last = word.data() + word.size();
        auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last || !(value >= -1.0f && value <= 1.0f)) {
            problem = "axis value \"" + word.substr(equals + 1) + "\" is not from -1 to 1";
            return false;
        }
        pad.axes[i] = value == 0.0f ? 0.0f : value;
        return true;
    }
    return false;
}

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return result;
}

std::vector<std::string_view> tokens(std::string_view line) {
    std::vector<std::string_view> result;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

std::optional<long> parseFrames(std::string_view token) {
    long value = 0;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size())
        return std::nullopt;
    return value;
}

std::optional<float> parseFrameTime(std::string_view token) {
    float value = 0.0f;
    auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (error != std::errc() || end != token.data() + token.size() || !std::isfinite(value))
        return std::nullopt;
    return value == 0.0f ? 0.0f : value; // "-0" is a plain 0
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------------------

const std::vector<ReplayScript::KeyName>& ReplayScript::keyNames() {
    static const std::vector<KeyName> names = {
        {"W", GLFW_KEY_W},       {"S", GLFW_KEY_S},         {"A", GLFW_KEY_A},
        {"D", GLFW_KEY_D},       {"UP", GLFW_KEY_UP},       {"DOWN", GLFW_KEY_DOWN},
        {"LEFT", GLFW_KEY_LEFT}, {"RIGHT", GLFW_KEY_RIGHT}, {"SPACE", GLFW_KEY_SPACE},
        {"F1", GLFW_KEY_F1},     {"F2", GLFW_KEY_F2},       {"F3", GLFW_KEY_F3},
        {"F4", GLFW_KEY_F4},     {"F5", GLFW_KEY_F5},       {"F6", GLFW_KEY_F6},
        {"F8", GLFW_KEY_F8},     {"F9", GLFW_KEY_F9},       {"1", GLFW_KEY_1},
        {"2", GLFW_KEY_2},       {"ESC", GLFW_KEY_ESCAPE},  {"M", GLFW_KEY_M},
    };
    assert(names.size() <= sizeof(KeySet) * 8 && "every script key needs a bit of KeySet");
    return names;
}

ReplayScript::KeySet ReplayScript::keyBit(int glfwKey) {
    const auto& names = keyNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].glfwKey == glfwKey)
            return KeySet(1) << i;
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------

std::optional<ReplayScript> ReplayScript::parse(std::istream& in, std::string& error) {
    ReplayScript script;
    std::string line;
    long lineNumber = 0;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(lineNumber) + ": " + message;
        return std::nullopt;
    };

    while (std::getline(in, line)) {
        ++lineNumber;
        std::string_view text(line);
        if (auto comment = text.find(commentMark); comment != std::string_view::npos)
            text = text.substr(0, comment);
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        const auto words = tokens(text);
        if (words.empty())
            continue;

        if (words[0] == shotKeyword) {
            if (words.size() != 2)
                return fail("a shot line is \"shot NAME\"");
            const std::string name(words[1]);
            if (script.totalFrames == 0)
                return fail("shot \"" + name + "\" comes before any frame");
            if (!isValidShotName(name))
                return fail("shot name \"" + name +
                            "\" may hold only letters, digits, '-' and '_' (at most 64)");
            if (!script.addShot(name))
                return fail("shot name \"" + name + "\" is used twice");
            continue;
        }

        const auto frames = parseFrames(words[0]);
        if (!frames || *frames < 1 || *frames > maxFramesPerLine)
            return fail("\"" + std::string(words[0]) + "\" is not a frame count from 1 to " +
                        std::to_string(maxFramesPerLine));
        if (words.size() < 2)
            return fail("a frame time in seconds must follow the frame count");
        const auto frameTime = parseFrameTime(words[1]);
        if (!frameTime || *frameTime < 0.0f || *frameTime > maxFrameTime)
            return fail("\"" + std::string(words[1]) + "\" is not a frame time from 0 to " +
                        std::to_string(int(maxFrameTime)) + " seconds");
        KeySet keys = 0;
        GamepadState pad;
        for (size_t i = 2; i < words.size(); ++i) {
            const std::string name = upper(words[i]);
            const auto& names = keyNames();
            auto known = std::find_if(names.begin(), names.end(),
                                      [&](const KeyName& key) { return name == key.name; });
            if (known != names.end()) {
                keys |= KeySet(1) << (known - names.begin());
                continue;
            }
            std::string problem;
            if (!readPadToken(name, pad, problem))
                return fail(problem.empty() ? "unknown key \"" + std::string(words[i]) + "\""
                                            : problem);
            pad.connected = true;
        }
        if (script.totalFrames > maxFrames - *frames)
            return fail("the script is longer than " + std::to_string(maxFrames) + " frames");
        // Lines are kept as written (not merged) so that a script reads back as it was.
        script.stretchList.push_back({*frames, *frameTime, keys, pad});
        script.totalFrames += *frames;
    }
    if (in.bad())
        return fail("the script could not be read");
    if (script.totalFrames == 0) {
        error = "the script has no frames";
        return std::nullopt;
    }
    return script;
}

// ---------------------------------------------------------------------------------------------
// Writing and recording
// ---------------------------------------------------------------------------------------------

void ReplayScript::write(std::ostream& out) const {
    out << "# Zephrane replay: frames, frame time in seconds, keys held.\n";
    long frameEnd = 0;
    size_t nextShot = 0;
    for (const Stretch& stretch : stretchList) {
        char number[32];
        out << stretch.frames << ' ' << shortest(stretch.frameTime, number);
        const auto& names = keyNames();
        for (size_t i = 0; i < names.size(); ++i)
            if (stretch.keys & (KeySet(1) << i))
                out << ' ' << names[i].name;
        const GamepadState rest;
        for (int i = 0; i < GamepadState::buttonCount; ++i)
            if (stretch.pad.buttons[i])
                out << ' ' << padButtonNames[i];
        for (int i = 0; i < GamepadState::axisCount; ++i)
            if (stretch.pad.axes[i] != rest.axes[i])
                out << ' ' << padAxisNames[i] << '=' << shortest(stretch.pad.axes[i], number);
        out << '\n';
        frameEnd += stretch.frames;
        for (; nextShot < shotList.size() && shotList[nextShot].frameIndex < frameEnd; ++nextShot)
            out << shotKeyword << ' ' << shotList[nextShot].name << '\n';
    }
}

void ReplayScript::appendFrame(float frameTime, KeySet keys, const GamepadState& played) {
    const GamepadState pad = normalised(played);
    // Merging is bitwise: a recorded script must give back exactly the recorded times. A shot on
    // the last frame pins it, since a shot line can only follow the end of a stretch.
    const bool pinned = !shotList.empty() && shotList.back().frameIndex == totalFrames - 1;
    if (!stretchList.empty() && !pinned) {
        Stretch& last = stretchList.back();
        if (last.keys == keys && last.pad == pad && last.frames < maxFramesPerLine &&
            std::memcmp(&last.frameTime, &frameTime, sizeof frameTime) == 0) {
            ++last.frames;
            ++totalFrames;
            return;
        }
    }
    stretchList.push_back({1, frameTime, keys, pad});
    ++totalFrames;
}

bool ReplayScript::addShot(std::string_view name) {
    if (totalFrames == 0 || !isValidShotName(name))
        return false;
    for (const Shot& shot : shotList)
        if (shot.name == name)
            return false;
    shotList.push_back({totalFrames - 1, std::string(name)});
    return true;
}

bool ReplayScript::isValidShotName(std::string_view name) {
    constexpr size_t maxShotNameLength = 64;
    if (name.empty() || name.size() > maxShotNameLength)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
}
