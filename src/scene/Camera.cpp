#include "scene/Camera.h"

#include "scene/CameraComponent.h"

#include <glm/gtc/matrix_transform.hpp>

namespace {
constexpr float moveSpeed = 40.0f;     // units of the camera's space per second
constexpr float turnRate = 1.2217305f; // radians per second (70 degrees)
constexpr float eyeDistance = 1.0f;    // the eye sits this far behind the object, on local +z
const glm::vec3 worldUp(0.0f, 1.0f, 0.0f);
const glm::vec3 localX(1.0f, 0.0f, 0.0f);
const glm::vec3 localY(0.0f, 1.0f, 0.0f);
} // namespace

void Camera::onAction(InputAction action, float deltaTime) {
    glm::mat4 placement = getModelMatrix();
    const float step = moveSpeed * deltaTime;
    const float turn = turnRate * deltaTime;
    switch (action) {
    case KeyW:
        placement = glm::translate(placement, glm::vec3(0.0f, 0.0f, -step));
        break;
    case KeyS:
        placement = glm::translate(placement, glm::vec3(0.0f, 0.0f, step));
        break;
    case KeyA:
        placement = glm::translate(placement, glm::vec3(-step, 0.0f, 0.0f));
        break;
    case KeyD:
        placement = glm::translate(placement, glm::vec3(step, 0.0f, 0.0f));
        break;
    case KeyUp:
        placement = glm::rotate(placement, -turn, localX);
        break;
    case KeyDown:
        placement = glm::rotate(placement, turn, localX);
        break;
    case KeyLeft:
        placement = glm::rotate(placement, turn, localY);
        break;
    case KeyRight:
        placement = glm::rotate(placement, -turn, localY);
        break;
    default:
        break;
    }
    setModelMatrix(placement);

    // Every action, even one that moved nothing, re-aims the camera. World +y as up keeps the
    // horizon level however the object is turned.
    CameraComponent* camera = getCameraComponent();
    if (camera == nullptr)
        return;
    camera->eyeMatrix = glm::translate(placement, glm::vec3(0.0f, 0.0f, eyeDistance));
    const glm::vec3 eye(camera->eyeMatrix[3]);
    const glm::vec3 centre(placement[3]);
    camera->view = glm::lookAt(eye, centre, worldUp);
}
