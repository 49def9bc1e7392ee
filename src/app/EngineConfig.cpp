#include "app/EngineConfig.h"

#include <json/json.h>

#include <cstring>
#include <exception>
#include <istream>
#include <limits>
#include <string>

namespace {

constexpr int lowestRenderScale = 25;  // percent; below it the picture is too coarse to fly by
constexpr int fullRenderScale = 100;   // percent
constexpr int highestTargetFps = 1000; // frames a second

// Reads one integer key, leaving `value` at its default when the key is missing. Values the
// JSON library converts to a 32-bit integer are accepted as it converts them (reals are cut
// toward zero, booleans are 0 and 1, null is 0); anything else is reported by name. A real
// must itself lie within the int range (2147483647.5 does not, although it would cut to one):
// that is the library's own condition, and it throws rather than convert past it.
bool readInt(const Json::Value& root, const char* key, int& value, std::string& errors) {
    if (!root.isMember(key))
        return true;
    const Json::Value& item = root[key];
    const bool convertible =
        item.isNull() || item.isBool() || item.isInt() ||
        (item.isDouble() && item.asDouble() >= std::numeric_limits<int>::min() &&
         item.asDouble() <= std::numeric_limits<int>::max());
    if (!convertible) {
        errors = std::string("* Value of \"") + key + "\" is not a 32-bit integer\n";
        return false;
    }
    value = item.asInt();
    return true;
}

// A percentage key: an integer as readInt takes it, from 0 to 100.
bool readPercent(const Json::Value& root, const char* key, int& value, std::string& errors) {
    if (!readInt(root, key, value, errors))
        return false;
    if (value < 0 || value > 100) {
        errors = std::string("* Value of \"") + key + "\" is not from 0 to 100\n";
        return false;
    }
    return true;
}

// The scale keys are newer than the rest and strict: a real, a boolean or null is refused too.
bool readBoundedInt(const Json::Value& root, const char* key, int lowest, int highest, int& value,
                    std::string& errors) {
    const Json::Value* found = root.find(key, key + std::strlen(key));
    if (!found)
        return true; // absent: the default stays
    const Json::Value& item = *found;
    if (!item.isInt() || item.asInt() < lowest || item.asInt() > highest) {
        errors = std::string("* Value of \"") + key + "\" must be a whole number from " +
                 std::to_string(lowest) + " to " + std::to_string(highest) + "\n";
        return false;
    }
    value = item.asInt();
    return true;
}

} // namespace

std::optional<EngineConfig> EngineConfig::parse(std::istream& in, std::string& errors) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = true;
    Json::Value root;
    EngineConfig config;
    // The library throws instead of reporting for some inputs (nesting too deep, a conversion
    // it refuses); every such case is a bad configuration, never a crash.
    try {
        if (!Json::parseFromStream(builder, in, &root, &errors))
            return std::nullopt;
        if (!root.isObject()) {
            errors = "* The configuration must be a JSON object\n";
            return std::nullopt;
        }
        if (!readInt(root, "width", config.width, errors) ||
            !readInt(root, "height", config.height, errors) ||
            !readInt(root, "fullscreen", config.fullscreen, errors) ||
            !readInt(root, "refreshrate", config.refreshRate, errors) ||
            !readInt(root, "openglmajor", config.openglMajor, errors) ||
            !readInt(root, "openglminor", config.openglMinor, errors) ||
            !readInt(root, "fitwindow", config.fitWindow, errors) ||
            !readPercent(root, "musicvolume", config.musicVolume, errors) ||
            !readPercent(root, "effectsvolume", config.effectsVolume, errors))
            return std::nullopt;
        if (!readBoundedInt(root, "renderscale", lowestRenderScale, fullRenderScale,
                            config.renderScale, errors) ||
            !readBoundedInt(root, "targetfps", 0, highestTargetFps, config.targetFps, errors))
            return std::nullopt;
    } catch (const std::exception& error) {
        errors = std::string("* ") + error.what() + "\n";
        return std::nullopt;
    }
    return config;
}
