#pragma once

#include "scene/SceneObject.h"

// An enemy jet flies a slow climbing circle; it does not react to anything.
class EnemyJet : public SceneObject {
public:
    static constexpr float forwardSpeed = 10.0f;     // model units per second along local +x
    static constexpr float climbSpeed = 1.0f;        // model units per second along local +y
    static constexpr float turnRate = 0.17453292f;   // radians per second about local +y

    using SceneObject::SceneObject;
    void update(float deltaTime) override;
};
