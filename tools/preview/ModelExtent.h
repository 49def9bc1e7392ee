#pragma once

#include <glm/glm.hpp>

class MeshComponent;

// The box around everything a component draws, in the space its placement applies to (its
// component matrix and each mesh's node matrix included). The component's own bounds are not
// enough for framing: they cover its last mesh only and ignore both matrices.
struct ModelExtent {
    glm::vec3 min{0.0f};
    glm::vec3 max{0.0f};
    glm::vec3 center{0.0f};
    float radius = 0.0f; // half the box's diagonal
    bool empty = true;   // no mesh with vertices
};

ModelExtent measureModel(const MeshComponent& component);
