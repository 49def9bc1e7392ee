#pragma once

#include "scene/SceneObject.h"

#include <vector>

class Rocket;
class TestCube;

// The player's jet. It always flies forward along its local -z axis at `speed` (model units per
// second); actions change speed, pitch and roll, fire rockets (one per rocketCooldownSeconds,
// with the rocket sound) and cycle the view mode. Each update moves the jet, its rockets and
// the spinner hanging below it, and recomputes the jet camera for the view mode. draw() draws
// the jet, then its rockets, then the spinner.
//
// The constructor loads the rocket and spinner models, so it needs a GL context unless the
// model paths are missing (loading then only prints an error).
class FighterJet : public SceneObject {
public:
    static constexpr float initialSpeed = 70.0f;
    static constexpr float maxSpeedForAcceleration = 110.0f;
    static constexpr float minSpeedForBraking = 40.0f;
    static constexpr float acceleration = 15.0f;          // model units per second, per second
    static constexpr float turnRate = 0.87266463f;        // radians per second (50 degrees)
    static constexpr float rocketCooldownSeconds = 5.0f;
    static constexpr float viewSwitchCooldownSeconds = 1.0f;
    static constexpr float spinnerTurnRate = 30.0f * 0.017453292f; // radians per second

    explicit FighterJet(const glm::mat4& modelMatrix);

    void onAction(InputAction action, float deltaTime) override;
    void update(float deltaTime) override;
    int draw(bool frustumCulling) override;

    // The eye offset of a view mode in the jet's model space.
    static glm::vec3 eyeOffset(int viewMode);

    std::vector<Rocket*> rockets;
    MeshComponent* rocketMesh = nullptr;
    TestCube* spinner = nullptr;
    float flightTime = 0.0f;
    int viewMode = 0;
    float rocketCooldown = 0.0f;
    float viewSwitchCooldown = 0.0f;
    float speed = initialSpeed;

private:
    void fireRocket();
};
