#include "game/Rocket.h"

#include <glm/gtc/matrix_transform.hpp>

// Straight ahead along the direction the jet had when it fired; no steering, no range limit.
void Rocket::update(float deltaTime) {
    setModelMatrix(
        glm::translate(getModelMatrix(), glm::vec3(0.0f, 0.0f, -rocketSpeed * deltaTime)));
}
