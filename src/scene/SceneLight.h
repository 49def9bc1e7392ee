#pragma once

#include <glm/glm.hpp>

// The one light of the scene, read by mesh drawing.
struct SceneLight {
    glm::vec3 position{0.0f};
    glm::vec3 color{1.0f};
};

extern SceneLight sceneLight;
