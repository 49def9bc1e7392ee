#pragma once

#include "scene/SceneObject.h"

// Static scenery: an object that never moves by itself.
class TestCube : public SceneObject {
public:
    using SceneObject::SceneObject;
    void update(float deltaTime) override;
};
