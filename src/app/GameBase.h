#pragma once

#include "scene/InputAction.h"

#include <vector>

class SceneObject;
class SoundEngine;

// What every game of this small framework shares: score, level clock, level number, game-over
// flag, the sound engine and the registered scene objects, plus the operations the frame loop
// calls. Registered objects are updated and drawn in registration order; nothing is owned or
// ever deleted.
class GameBase {
public:
    static constexpr float firstLevelTimeLimit = 100.0f; // seconds

    virtual ~GameBase() = default;

    virtual int run();
    virtual void onAction(InputAction action, float deltaTime);
    // Updates every object, runs the level clock down and ends the game at or below zero.
    virtual void update(float deltaTime);
    // Draws every object; returns the number of mesh components drawn.
    virtual int draw(bool frustumCulling);
    // Hands the object the game's sound engine and appends it to `objects`.
    virtual void registerObject(SceneObject* object);

    bool gameOver = false;
    float points = 0.0f;
    float timeLeft = firstLevelTimeLimit;
    int level = 1;
    SoundEngine* soundEngine = nullptr;
    std::vector<SceneObject*> objects;
};
