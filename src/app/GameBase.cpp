#include "app/GameBase.h"

#include "scene/SceneObject.h"

int GameBase::run() { return 1; }

void GameBase::onAction(InputAction, float) {}

void GameBase::update(float deltaTime) {
    for (SceneObject* object : objects)
        object->update(deltaTime);
    timeLeft -= deltaTime;
    if (timeLeft <= 0.0f)
        gameOver = true;
}

int GameBase::draw(bool frustumCulling) {
    int count = 0;
    for (SceneObject* object : objects)
        count += object->draw(frustumCulling);
    return count;
}

void GameBase::registerObject(SceneObject* object) {
    object->soundEngine = soundEngine;
    objects.push_back(object);
}
