#pragma once

#include <glm/glm.hpp>

// A camera: the view and projection that drawing uses, and the matrix whose translation
// column is the eye position (rewritten by the owner whenever it recomputes the view).
// Never deleted.
struct CameraComponent {
    explicit CameraComponent(const glm::mat4& view) : view(view) {}

    glm::mat4 view;
    glm::mat4 projection{}; // set by the scene before the first frame
    glm::mat4 eyeMatrix{1.0f};
};

// The one perspective projection of both cameras: 90 degrees vertical field of view, near 0.1,
// far 1000, right-handed with clip depth -1..1.
glm::mat4 cameraProjection(float aspectRatio);
