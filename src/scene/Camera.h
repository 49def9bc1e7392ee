#pragma once

#include "scene/SceneObject.h"

// The free camera: an object the player steers with the flight keys after key 1. Every action
// recomputes its camera component's view (eye one unit behind the object, looking along its
// -z axis, world +y up, so the picture never rolls).
class Camera : public SceneObject {
public:
    using SceneObject::SceneObject;
    void onAction(InputAction action, float deltaTime) override;
};
