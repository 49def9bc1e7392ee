#include "PreviewFraming.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

// A narrow lens for models seen from outside keeps the perspective close to a product shot;
// the game's own 90 degrees suits the view from within the sky box.
constexpr float outsideFieldOfViewDegrees = 40.0f; // vertical
constexpr float insideFieldOfViewDegrees = 90.0f;
// Depth range around the bounding sphere, a little wider than the sphere itself.
constexpr float depthMargin = 1.05f;
constexpr float minNearShare = 0.001f;   // of the far plane, for a camera inside the sphere
constexpr float insideNearShare = 0.01f; // of the radius
// Light placement in radii from the centre, in the camera's frame.
constexpr float lightDistanceRadii = 4.0f;
constexpr float lightUpShare = 1.0f;
constexpr float lightLeftShare = 0.5f;
// A model with no extent (one point) still gets a finite camera.
constexpr float minRadius = 1e-3f;

const glm::vec3 worldUp(0.0f, 1.0f, 0.0f);

// Unit vector from the centre towards the camera.
glm::vec3 cameraDirection(float yawDegrees, float pitchDegrees) {
    const float yaw = glm::radians(yawDegrees);
    const float pitch = glm::radians(pitchDegrees);
    return {std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
}

} // namespace

PreviewFraming framePreview(const ModelExtent& bounds, const PreviewOptions& options,
                            float aspectRatio) {
    assert(aspectRatio > 0.0f && "the picture has a size");
    assert(std::fabs(options.pitchDegrees) < 90.0f &&
           "option parsing keeps the pitch off the poles");
    PreviewFraming framing;
    const float radius = std::max(bounds.radius, minRadius);
    const glm::vec3 toCamera = cameraDirection(options.yawDegrees, options.pitchDegrees);
    const glm::vec3 right = glm::normalize(glm::cross(-toCamera, worldUp));
    const glm::vec3 cameraUp = glm::cross(right, -toCamera);

    if (options.inside) {
        framing.eye = bounds.center;
        framing.view = glm::lookAt(framing.eye, framing.eye - toCamera, worldUp);
        framing.projection = glm::perspective(glm::radians(insideFieldOfViewDegrees), aspectRatio,
                                              radius * insideNearShare, radius * 2.0f);
    } else {
        const float halfHeight = glm::radians(outsideFieldOfViewDegrees) * 0.5f;
        const float halfWidth = std::atan(std::tan(halfHeight) * aspectRatio);
        const float fitDistance = radius / std::sin(std::min(halfHeight, halfWidth));
        const float distance = fitDistance * options.distanceFactor;
        framing.eye = bounds.center + toCamera * distance;
        framing.view = glm::lookAt(framing.eye, bounds.center, worldUp);
        const float farPlane = distance + radius * depthMargin;
        const float nearPlane = std::max(distance - radius * depthMargin, farPlane * minNearShare);
        framing.projection = glm::perspective(halfHeight * 2.0f, aspectRatio, nearPlane, farPlane);
    }
    framing.lightPosition = bounds.center + glm::normalize(toCamera + cameraUp * lightUpShare -
                                                           right * lightLeftShare) *
                                                radius * lightDistanceRadii;
    return framing;
}
