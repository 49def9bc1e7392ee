#pragma once

#include <glm/glm.hpp>

struct CameraComponent;

// Which camera the picture is drawn through. One instance, shared by the game and by mesh
// drawing (through the global below). worldTransform's translation column is the eye
// position used for lighting; it is set once at scene assembly.
struct CameraView {
    glm::mat4 worldTransform{1.0f};
    CameraComponent* camera = nullptr;
};

// Set by scene assembly before the first frame; mesh drawing reads it.
extern CameraView* activeCameraView;
