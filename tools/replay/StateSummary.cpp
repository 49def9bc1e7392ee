#include "StateSummary.h"

#include "app/Zephrane.h"
#include "game/FighterJet.h"
#include "game/Rocket.h"
#include "scene/TestCube.h"

#include <charconv>
#include <cmath>
#include <sstream>

namespace {

std::string number(float value) {
    if (!std::isfinite(value))
        return "null"; // JSON has no infinities
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string boolean(bool value) {
    return value ? "true" : "false";
}

std::string position(SceneObject& object) {
    const glm::vec3 p = object.getModelMatrix()[3];
    return "[" + number(p.x) + ", " + number(p.y) + ", " + number(p.z) + "]";
}

} // namespace

std::string stateSummaryJson(Zephrane& game, const ReplayObserver& observer) {
    std::ostringstream json;
    json << "{\n";
    json << "  \"frames\": " << observer.framesSeen() << ",\n";
    json << "  \"points\": " << number(game.points) << ",\n";
    json << "  \"level\": " << game.level << ",\n";
    json << "  \"timeLeft\": " << number(game.timeLeft) << ",\n";
    json << "  \"gameOver\": " << boolean(game.gameOver) << ",\n";
    if (game.player) {
        FighterJet& jet = *game.player;
        json << "  \"player\": {\"position\": " << position(jet)
             << ", \"speed\": " << number(jet.speed) << ", \"viewMode\": " << jet.viewMode
             << "},\n";
        json << "  \"rocketsInFlight\": " << jet.rockets.size() << ",\n";
        json << "  \"rockets\": [";
        for (size_t i = 0; i < jet.rockets.size(); ++i)
            json << (i ? ", " : "") << position(*jet.rockets[i]);
        json << "],\n";
    }
    if (game.target)
        json << "  \"target\": {\"position\": " << position(*game.target) << "},\n";
    json << "  \"freeCameraActive\": " << boolean(game.freeCameraActive) << ",\n";
    json << "  \"componentsDrawn\": " << observer.lastFrame().componentsDrawn << ",\n";
    const EngineSwitches& s = observer.lastSwitches();
    json << "  \"switches\": {\"help\": " << boolean(s.helpScreen)
         << ", \"performanceOutput\": " << boolean(s.performanceOutput)
         << ", \"wireframe\": " << boolean(s.wireframe)
         << ", \"transparency\": " << boolean(s.transparency)
         << ", \"bilinearSampling\": " << boolean(s.bilinearSampling)
         << ", \"mipmapMode\": " << s.mipmapMode << ", \"cheatMode\": " << boolean(s.cheatMode)
         << ", \"frustumCulling\": " << boolean(s.frustumCulling) << "}\n";
    json << "}\n";
    return json.str();
}
