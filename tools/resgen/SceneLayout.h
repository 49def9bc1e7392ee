#pragma once

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>

namespace resgen {

// Where the game places the models (its scene assembly), so that what is baked into one model's
// light map (the buildings' shadows on the terrain) lands where the game draws it.
namespace layout {

inline constexpr float groundHeight = -49.0f; // world height the buildings and target stand at
inline constexpr glm::vec3 terrainOffset{2.0f, -50.0f, 0.0f};
inline constexpr float terrainScale = 2.0f;

inline glm::mat4 placed(glm::vec3 position, float yawRadians) {
    return glm::rotate(glm::translate(glm::mat4(1.0f), position), yawRadians, glm::vec3(0, 1, 0));
}
inline constexpr float hangarYaw = 1.5707964f; // radians
inline constexpr float towerYaw = 1.9198622f;
inline constexpr float crateYaws[3] = {2.7052603f, 3.0543261f, 3.2288592f};
inline glm::mat4 hangar() {
    return placed({100.0f, groundHeight, 0.0f}, hangarYaw);
}
inline glm::mat4 tower() {
    return placed({95.0f, groundHeight, -17.0f}, towerYaw);
}
inline glm::mat4 crate1() {
    return placed({87.0f, groundHeight, -7.0f}, crateYaws[0]);
}
inline glm::mat4 crate2() {
    return placed({87.0f, groundHeight, 0.0f}, crateYaws[1]);
}
inline glm::mat4 crate3() {
    return placed({84.0f, groundHeight, -4.0f}, crateYaws[2]);
}
inline constexpr glm::vec3 targetStart{20.0f, groundHeight, -7.0f};

// World to terrain model space.
inline glm::mat4 worldToTerrain() {
    return glm::translate(glm::scale(glm::mat4(1.0f), glm::vec3(1.0f / terrainScale)),
                          -terrainOffset);
}

} // namespace layout

} // namespace resgen
