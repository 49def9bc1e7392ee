#include "scene/Frustum.h"

#include <glm/glm.hpp>

namespace {

enum PlaneIndex { Left, Right, Bottom, Top, Near, Far };

Plane normalizedPlane(const glm::vec4& coefficients) {
    Plane plane;
    const glm::vec3 normal(coefficients);
    const float length = glm::length(normal);
    // A degenerate camera matrix can give an all-zero row sum; keeping it unnormalised makes the
    // plane accept everything instead of producing NaNs.
    const float scale = length > 0.0f ? 1.0f / length : 1.0f;
    plane.normal = normal * scale;
    plane.distance = coefficients.w * scale;
    return plane;
}

} // namespace

Frustum Frustum::fromCamera(const glm::mat4& view, const glm::mat4& projection) {
    const glm::mat4 clip = projection * view;
    // GLM stores columns; the plane equations are built from the clip matrix's rows.
    glm::vec4 row[4];
    for (int i = 0; i < 4; ++i)
        row[i] = glm::vec4(clip[0][i], clip[1][i], clip[2][i], clip[3][i]);

    Frustum frustum;
    frustum.planes[Left] = normalizedPlane(row[3] + row[0]);
    frustum.planes[Right] = normalizedPlane(row[3] - row[0]);
    frustum.planes[Bottom] = normalizedPlane(row[3] + row[1]);
    frustum.planes[Top] = normalizedPlane(row[3] - row[1]);
    frustum.planes[Near] = normalizedPlane(row[3] + row[2]);
    frustum.planes[Far] = normalizedPlane(row[3] - row[2]);
    return frustum;
}

bool Frustum::isSphereVisible(const glm::vec3& worldCenter, float radius) const {
    for (const Plane& plane : planes) {
        const float distance = glm::dot(plane.normal, worldCenter) + plane.distance;
        if (distance < -radius)
            return false;
        // The first plane the sphere straddles settles it: later planes are not consulted.
        if (distance < radius)
            return true;
    }
    return true;
}
