#include "platform/KeyBindings.h"

#include <GLFW/glfw3.h>
#include <json/json.h>

#include <algorithm>
#include <cassert>
#include <cctype>
#include <exception>
#include <istream>

namespace {

const std::array<KeyBindings::Action, KeyBindings::actionCount> actionTable = {{
    {"speedup", GLFW_KEY_W},       {"slowdown", GLFW_KEY_S},      {"rollleft", GLFW_KEY_A},
    {"rollright", GLFW_KEY_D},     {"pitchdown", GLFW_KEY_UP},    {"pitchup", GLFW_KEY_DOWN},
    {"turnleft", GLFW_KEY_LEFT},   {"turnright", GLFW_KEY_RIGHT}, {"fire", GLFW_KEY_SPACE},
    {"camera", GLFW_KEY_1},        {"view", GLFW_KEY_2},          {"help", GLFW_KEY_F1},
    {"performance", GLFW_KEY_F2},  {"wireframe", GLFW_KEY_F3},    {"filtering", GLFW_KEY_F4},
    {"mipmapping", GLFW_KEY_F5},   {"cheat", GLFW_KEY_F6},        {"culling", GLFW_KEY_F8},
    {"transparency", GLFW_KEY_F9}, {"quit", GLFW_KEY_ESCAPE},     {"mute", GLFW_KEY_M},
}};

struct NamedKey {
    std::string name;
    int glfwKey;
};

// Keys that are not a single letter, digit or function key; those are built from their range.
const std::pair<const char*, int> namedKeys[] = {
    {"SPACE", GLFW_KEY_SPACE},
    {"UP", GLFW_KEY_UP},
    {"DOWN", GLFW_KEY_DOWN},
    {"LEFT", GLFW_KEY_LEFT},
    {"RIGHT", GLFW_KEY_RIGHT},
    {"ESC", GLFW_KEY_ESCAPE},
    {"ENTER", GLFW_KEY_ENTER},
    {"TAB", GLFW_KEY_TAB},
    {"BACKSPACE", GLFW_KEY_BACKSPACE},
    {"INSERT", GLFW_KEY_INSERT},
    {"DELETE", GLFW_KEY_DELETE},
    {"HOME", GLFW_KEY_HOME},
    {"END", GLFW_KEY_END},
    {"PAGEUP", GLFW_KEY_PAGE_UP},
    {"PAGEDOWN", GLFW_KEY_PAGE_DOWN},
    {"LSHIFT", GLFW_KEY_LEFT_SHIFT},
    {"RSHIFT", GLFW_KEY_RIGHT_SHIFT},
    {"LCTRL", GLFW_KEY_LEFT_CONTROL},
    {"RCTRL", GLFW_KEY_RIGHT_CONTROL},
    {"LALT", GLFW_KEY_LEFT_ALT},
    {"RALT", GLFW_KEY_RIGHT_ALT},
    {"COMMA", GLFW_KEY_COMMA},
    {"PERIOD", GLFW_KEY_PERIOD},
    {"MINUS", GLFW_KEY_MINUS},
    {"EQUAL", GLFW_KEY_EQUAL},
    {"SEMICOLON", GLFW_KEY_SEMICOLON},
    {"APOSTROPHE", GLFW_KEY_APOSTROPHE},
    {"SLASH", GLFW_KEY_SLASH},
    {"BACKSLASH", GLFW_KEY_BACKSLASH},
    {"LBRACKET", GLFW_KEY_LEFT_BRACKET},
    {"RBRACKET", GLFW_KEY_RIGHT_BRACKET},
    {"GRAVE", GLFW_KEY_GRAVE_ACCENT},
    {"KPENTER", GLFW_KEY_KP_ENTER},
    {"KPPLUS", GLFW_KEY_KP_ADD},
    {"KPMINUS", GLFW_KEY_KP_SUBTRACT},
};

constexpr int functionKeyCount = 12;

// Every key name with its code, built once: the named keys, A-Z, 0-9, F1-F12, KP0-KP9.
const std::vector<NamedKey>& allKeys() {
    // Only the main thread reads the key table: no other thread ever builds it first.
    static const std::vector<NamedKey> keys = [] {
        std::vector<NamedKey> table;
        auto add = [&](std::string name, int code) { table.push_back({std::move(name), code}); };
        for (const auto& [name, code] : namedKeys)
            add(name, code);
        for (int i = 0; i < 26; ++i)
            add(std::string(1, char('A' + i)), GLFW_KEY_A + i);
        for (int i = 0; i < 10; ++i)
            add(std::to_string(i), GLFW_KEY_0 + i);
        for (int i = 0; i < functionKeyCount; ++i)
            add("F" + std::to_string(i + 1), GLFW_KEY_F1 + i);
        for (int i = 0; i < 10; ++i)
            add("KP" + std::to_string(i), GLFW_KEY_KP_0 + i);
        return table;
    }();
    return keys;
}

std::optional<std::size_t> actionIndex(int defaultKey) {
    for (std::size_t i = 0; i < actionTable.size(); ++i)
        if (actionTable[i].defaultKey == defaultKey)
            return i;
    return std::nullopt;
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

const std::array<KeyBindings::Action, KeyBindings::actionCount>& KeyBindings::actions() {
    return actionTable;
}

std::optional<int> KeyBindings::keyCode(std::string_view name) {
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    for (const NamedKey& key : allKeys())
        if (upper == key.name)
            return key.glfwKey;
    return std::nullopt;
}

const char* KeyBindings::keyName(int glfwKey) {
    for (const NamedKey& key : allKeys())
        if (key.glfwKey == glfwKey)
            return key.name.c_str();
    // Every code the game holds came from this table, through keyCode or the defaults.
    assert(false && "a key code that is not in the key table");
    return "?";
}

KeyBindings::KeyBindings() {
    for (std::size_t i = 0; i < actionTable.size(); ++i)
        keys[i] = {actionTable[i].defaultKey};
}

const KeyBindings& KeyBindings::defaults() {
    static const KeyBindings bindings; // main thread only: no other thread builds it first
    return bindings;
}

std::optional<KeyBindings> KeyBindings::parse(std::istream& in, std::string& error) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    Json::Value root;
    KeyBindings bindings;
    try {
        if (!Json::parseFromStream(builder, in, &root, &error))
            return std::nullopt;
        if (!root.isObject()) {
            error = "* The key bindings must be a JSON object\n";
            return std::nullopt;
        }
        for (const std::string& action : root.getMemberNames()) {
            // The 21 actions leave find_if's search, unrolled by four, a tail of one, never 2 or 3.
            const auto found = std::find_if(actionTable.begin(), actionTable.end(),
                                            [&](const Action& a) { return action == a.name; });
            if (found == actionTable.end()) {
                error = "* unknown action " + quoted(action) + "\n";
                return std::nullopt;
            }
            const Json::Value& value = root[action];
            Json::Value names = value.isArray() ? value : Json::Value(Json::arrayValue);
            if (value.isString())
                names.append(value);
            else if (!value.isArray()) {
                error = "* " + quoted(action) + ": give a key name or a list of key names\n";
                return std::nullopt;
            }
            std::vector<int>& codes = bindings.keys[std::size_t(found - actionTable.begin())];
            codes.clear();
            for (const Json::Value& name : names) {
                // Only running out of memory throws in this loop: no file takes its unwinding.
                const auto code = name.isString() ? keyCode(name.asString()) : std::nullopt;
                if (!code) {
                    const bool printable = name.isConvertibleTo(Json::stringValue);
                    error = "* " + quoted(action) + ": unknown key " +
                            quoted(printable ? name.asString() : "[...]") + "\n";
                    return std::nullopt;
                }
                codes.push_back(*code);
            }
            if (codes.empty()) {
                error = "* " + quoted(action) + ": no key\n";
                return std::nullopt;
            }
        }
    } catch (const std::exception& failure) {
        // JsonCpp throws only std::exceptions: on a file nested 1000 deep, and on an access of the
        // wrong type (which the checks above rule out). It names itself here, not ending the game.
        error = std::string("* ") + failure.what() + "\n";
        return std::nullopt;
    }
    // One key, one action: checked over the whole table, so the default key of an action the
    // file does not name counts too.
    for (std::size_t a = 0; a < actionTable.size(); ++a)
        for (std::size_t k = 0; k < bindings.keys[a].size(); ++k)
            for (std::size_t b = 0; b <= a; ++b)
                for (std::size_t l = 0; l < (b == a ? k : bindings.keys[b].size()); ++l)
                    if (bindings.keys[a][k] == bindings.keys[b][l]) {
                        // Action names are short: + extends the left string here, never the right.
                        error = std::string("* key ") + keyName(bindings.keys[a][k]) +
                                " is bound to both " + quoted(actionTable[b].name) + " and " +
                                quoted(actionTable[a].name) + "\n";
                        return std::nullopt;
                    }
    return bindings;
}

const std::vector<int>& KeyBindings::keysOf(int defaultKey) const {
    static const std::vector<int> none; // main thread only: no other thread builds it first
    const auto index = actionIndex(defaultKey);
    return index ? keys[*index] : none;
}

bool KeyBindings::isDefault(int defaultKey) const {
    const std::vector<int>& bound = keysOf(defaultKey);
    return bound.size() == 1 && bound.front() == defaultKey;
}

bool BoundKeyboard::isDown(int defaultKey) const {
    for (const int key : bindings.keysOf(defaultKey))
        if (keyboard.isDown(key))
            return true;
    return false;
}
