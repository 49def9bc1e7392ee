#include "game/EnemyJet.h"

#include <glm/gtc/matrix_transform.hpp>

// Moving along local +x while turning about local +y traces a circle; the small climb makes it
// a slow helix. Both steps act on the matrix each frame, so the path depends a little on the
// frame time.
void EnemyJet::update(float deltaTime) {
    setModelMatrix(glm::translate(
        getModelMatrix(), glm::vec3(forwardSpeed * deltaTime, climbSpeed * deltaTime, 0.0f)));
    setModelMatrix(
        glm::rotate(getModelMatrix(), turnRate * deltaTime, glm::vec3(0.0f, 1.0f, 0.0f)));
}
