#pragma once

#include <glm/glm.hpp>

#include <cmath>

namespace resgen {

// The one sun of the world: the sky box paints it where the light maps say it shines from.
// It stands behind the player's starting view (the player looks towards -z), high in the
// south-west of the map, so the buildings' lit faces and long shadows show on the way in.
inline glm::vec3 sunDirection() {
    return glm::normalize(glm::vec3(0.45f, 0.68f, 0.58f));
}

// The sun seen from a model that the game turns by `yaw` radians about the vertical axis.
inline glm::vec3 sunDirectionInModel(float yaw) {
    const glm::vec3 s = sunDirection();
    const float c = std::cos(-yaw), n = std::sin(-yaw);
    return {c * s.x + n * s.z, s.y, -n * s.x + c * s.z};
}

// The light-mapped shader brightens colour x light map by 1.6, so that light maps keep head
// room above a fully lit face; a light of 1 is stored as 1 / 1.6.
inline constexpr float lightMapStoredScale = 1.0f / 1.6f;

inline constexpr glm::vec3 sunColour{0.80f, 0.74f, 0.62f};
inline constexpr glm::vec3 skyColour{0.40f, 0.45f, 0.55f};
// Light reflected by nearby surfaces into an occluded direction.
inline constexpr glm::vec3 bounceColour{0.16f, 0.15f, 0.13f};

} // namespace resgen
