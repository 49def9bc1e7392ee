#pragma once

#include "scene/SceneObject.h"

// A rocket flies straight along its local -z axis (the jet's forward direction at firing) at
// a fixed speed in its own model units. The jet that fired it owns, updates and draws it.
class Rocket : public SceneObject {
public:
    static constexpr float rocketSpeed = 1400.0f; // model units per second

    using SceneObject::SceneObject;
    void update(float deltaTime) override;
};
