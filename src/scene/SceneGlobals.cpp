#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <glm/gtc/matrix_transform.hpp>

CameraView* activeCameraView = nullptr;
SceneLight sceneLight;

namespace {
constexpr float fieldOfViewRadians = 1.5707964f; // 90 degrees, vertical
constexpr float nearPlane = 0.1f;
constexpr float farPlane = 1000.0f;
} // namespace

glm::mat4 cameraProjection(float aspectRatio) {
    return glm::perspective(fieldOfViewRadians, aspectRatio, nearPlane, farPlane);
}
