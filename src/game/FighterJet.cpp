#include "game/FighterJet.h"

#include "audio/SoundEngine.h"
#include "game/GameSounds.h"
#include "game/Rocket.h"
#include "render/MeshComponent.h"
#include "scene/CameraComponent.h"
#include "scene/TestCube.h"

#include <glm/gtc/matrix_transform.hpp>

namespace {
const char* const rocketModelPath = "Resources/models/AIM120D.3ds";
const char* const spinnerModelPath = "Resources/models/anim.obj";

constexpr float rocketModelTilt = 4.712389f;       // radians (270 degrees about x): nose along -z
constexpr float rocketScale = 0.1f;                // a rocket is a tenth of the jet's size
const glm::vec3 spinnerOffset(0.0f, -10.0f, 0.0f); // jet model units below the jet's origin
const glm::vec3 worldUp(0.0f, 1.0f, 0.0f);
const glm::vec3 localX(1.0f, 0.0f, 0.0f);
const glm::vec3 localY(0.0f, 1.0f, 0.0f);
const glm::vec3 localZ(0.0f, 0.0f, 1.0f);

enum ViewMode { JetView = 0, InteriorView = 1, RocketView = 2, ViewModeCount = 3 };
} // namespace

FighterJet::FighterJet(const glm::mat4& modelMatrix) : SceneObject(modelMatrix) {
    rocketMesh = new MeshComponent();
    rocketMesh->load(rocketModelPath);
    rocketMesh->localTransform = glm::rotate(glm::mat4(1.0f), rocketModelTilt, localX);

    spinner = new TestCube(glm::translate(modelMatrix, spinnerOffset));
    auto* spinnerMesh = new MeshComponent();
    spinnerMesh->load(spinnerModelPath);
    spinner->addMeshComponent(spinnerMesh);
}

glm::vec3 FighterJet::eyeOffset(int viewMode) {
    switch (viewMode) {
    case InteriorView:
        return {0.0f, 0.0f, 1.0f}; // just behind the origin, inside the model
    case RocketView:
        return {0.0f, 3.0f, -5.0f}; // ahead and above, looking back at the jet
    default:
        return {0.0f, 8.0f, 20.0f}; // behind and above
    }
}

void FighterJet::onAction(InputAction action, float deltaTime) {
    const float turn = turnRate * deltaTime;
    switch (action) {
    case KeyW:
        // Limits are checked before the change, so the speed may end one step beyond them.
        if (speed <= maxSpeedForAcceleration)
            speed += acceleration * deltaTime;
        break;
    case KeyS:
        if (speed >= minSpeedForBraking)
            speed -= acceleration * deltaTime;
        break;
    case KeyA:
        setModelMatrix(glm::rotate(getModelMatrix(), turn, localZ));
        break;
    case KeyD:
        setModelMatrix(glm::rotate(getModelMatrix(), -turn, localZ));
        break;
    case KeyUp:
        setModelMatrix(glm::rotate(getModelMatrix(), -turn, localX));
        break;
    case KeyDown:
        setModelMatrix(glm::rotate(getModelMatrix(), turn, localX));
        break;
    case KeySpace:
        fireRocket();
        break;
    case Key2:
        if (viewSwitchCooldown <= 0.0f) {
            viewMode = (viewMode + 1) % ViewModeCount;
            viewSwitchCooldown += viewSwitchCooldownSeconds;
        }
        break;
    default:
        break;
    }
}

void FighterJet::fireRocket() {
    if (rocketCooldown > 0.0f)
        return;
    rocketCooldown = rocketCooldownSeconds;
    // The rocket starts at the jet's place and orientation, so it flies straight ahead of it.
    auto* rocket = new Rocket(glm::scale(getModelMatrix(), glm::vec3(rocketScale)));
    rocket->addMeshComponent(rocketMesh);
    rockets.push_back(rocket);
    if (soundEngine != nullptr)
        soundEngine->play2D(game_sounds::rocket, false);
}

void FighterJet::update(float deltaTime) {
    flightTime += deltaTime;
    if (rocketCooldown > 0.0f)
        rocketCooldown -= deltaTime;
    if (viewSwitchCooldown > 0.0f)
        viewSwitchCooldown -= deltaTime;

    for (Rocket* rocket : rockets)
        rocket->update(deltaTime);

    const glm::mat4 placement =
        glm::translate(getModelMatrix(), glm::vec3(0.0f, 0.0f, -speed * deltaTime));
    setModelMatrix(placement);

    spinner->setModelMatrix(glm::rotate(glm::translate(placement, spinnerOffset),
                                        flightTime * spinnerTurnRate, localY));

    // The jet camera follows even while the free camera is in use, so switching back shows the
    // jet at once. World +y as up: rolling the jet does not roll the picture.
    CameraComponent* camera = getCameraComponent();
    if (camera == nullptr)
        return;
    camera->eyeMatrix = glm::translate(placement, eyeOffset(viewMode));
    camera->view = glm::lookAt(glm::vec3(camera->eyeMatrix[3]), glm::vec3(placement[3]), worldUp);
}

int FighterJet::draw(bool frustumCulling) {
    int count = SceneObject::draw(frustumCulling);
    for (Rocket* rocket : rockets)
        count += rocket->draw(frustumCulling);
    count += spinner->draw(frustumCulling);
    return count;
}
