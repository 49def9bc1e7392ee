#pragma once

#include <glm/glm.hpp>

#include <array>

// A plane with the inner side where dot(normal, p) + distance > 0.
struct Plane {
    glm::vec3 normal{0.0f};
    float distance = 0.0f;
};

// The six planes of a camera's view volume, in the order left, right, bottom, top, near, far.
struct Frustum {
    std::array<Plane, 6> planes;

    static Frustum fromCamera(const glm::mat4& view, const glm::mat4& projection);

    // The culling test: planes are tried in order; the first one that the sphere lies wholly
    // outside of (signed distance < -radius) culls it, the first one it crosses (< radius)
    // accepts it. A sphere inside all six is accepted.
    bool isSphereVisible(const glm::vec3& worldCenter, float radius) const;
};
