#pragma once

#include "platform/FrameSource.h"

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The player's keys: each game action on one or more keys of the keyboard, read from keys.js
// beside config.js (JSON with comments). An action is known to the rest of the game by its
// default key's GLFW code, so the frame loop, the replay scripts and the gamepad keep talking
// in default keys and only the keyboard is translated (BoundKeyboard).
//
//   { "fire": "ENTER", "pitchup": ["UP", "I"], "pitchdown": ["DOWN", "K"] }
//
// Actions the file does not name keep their default keys. Key names are read in any letter
// case. Callers may rely on: parse() accepts a file only when every action has at least one key
// and no key serves two actions; its message names the offending entry.
class KeyBindings {
public:
    struct Action {
        const char* name;
        int defaultKey; // GLFW key code, and the action's name inside the game
    };
    static constexpr std::size_t actionCount = 21;
    // In the order the documents list them.
    static const std::array<Action, actionCount>& actions();

    // The GLFW key code of a key name ("G", "space", "KP5"), or nothing for an unknown name.
    static std::optional<int> keyCode(std::string_view name);
    // The written name of a key code ("SPACE"); "?" for a code without a name.
    static const char* keyName(int glfwKey);

    // Every action on its default key.
    KeyBindings();
    static const KeyBindings& defaults();

    // Reads a whole file ("{}" binds nothing anew; an empty file does not read, as config.js
    // does not). On failure returns nothing and sets
    // `error` to one line that names the entry ("* "fire": unknown key "SPCE"").
    static std::optional<KeyBindings> parse(std::istream& in, std::string& error);

    // The keys of the action whose default key is `defaultKey`; empty for any other code.
    const std::vector<int>& keysOf(int defaultKey) const;
    bool isDefault(int defaultKey) const;

private:
    std::array<std::vector<int>, actionCount> keys; // indexed like actions()
};

// The keyboard as the game asks it: an action (its default key) is down while any of its keys
// is down on the real keyboard.
class BoundKeyboard final : public KeyboardState {
public:
    BoundKeyboard(const KeyboardState& keyboard, const KeyBindings& bindings)
        : keyboard(keyboard), bindings(bindings) {}

    bool isDown(int defaultKey) const override;

private:
    const KeyboardState& keyboard;
    const KeyBindings& bindings;
};
