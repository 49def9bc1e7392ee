#pragma once

#include "app/GameBase.h"
#include "platform/FrameSource.h"

class Camera;
class EnemyJet;
class FighterJet;
class TestCube;
struct CameraView;

// The game: its scene, its rules and its switches.
//
// run() starts the engine, assembles the fixed scene, and runs the frame loop; it returns 1
// after a normal end and -1 after a failed start (after the engine's message, "Failed to
// initialize Engine" and a console pause).
//
// update() runs one frame of rules: survival points, every object's update, the level clock,
// all eleven collision tests in a fixed order (each hit writes its line and ends the game),
// and the two-frame target hit (score in one frame, next level and new target place in the
// next). The collision tests only read state and write their diagnostics.
class Zephrane : public GameBase {
public:
    static constexpr float pointsPerUpdate = 0.01f;
    static constexpr float pointsPerTargetHit = 1000.0f;
    static constexpr float timeLimitDecreasePerLevel = 5.0f; // seconds
    static constexpr float smallestTimeLimit = 25.0f;        // seconds

    Zephrane();

    int run() override;
    void onAction(InputAction action, float deltaTime) override;
    void update(float deltaTime) override;
    virtual bool collidesWithPlayer(SceneObject* other);
    virtual bool playerHitsSkybox();
    virtual bool playerHitsTerrain();
    virtual bool rocketHitsTarget();
    virtual bool rocketHitsJet(SceneObject* jet);
    virtual void respawnTarget();
    virtual void preUpdate(float deltaTime);

    // Builds the world (objects, cameras, view, light, music); needs a GL context.
    void assembleScene();
    // Re-filters the last-loaded texture of every registered object's components.
    void applyTextureFilters();

    bool bilinearSampling = true;
    int mipmapMode = 0;
    bool targetHitLastFrame = false;
    int framebufferWidth{}; // from GLFW at start-up and on every resize
    int framebufferHeight{};
    FighterJet* player = nullptr;
    EnemyJet* enemyJet1 = nullptr;
    EnemyJet* enemyJet2 = nullptr;
    EnemyJet* enemyJet3 = nullptr;
    TestCube* terrain = nullptr;
    TestCube* skybox = nullptr;
    TestCube* target = nullptr;
    TestCube* lightmapObject1 = nullptr;
    TestCube* lightmapObject2 = nullptr;
    TestCube* lightmapBox1 = nullptr;
    TestCube* lightmapBox2 = nullptr;
    TestCube* lightmapBox3 = nullptr;
    Camera* freeCamera = nullptr;
    CameraView* cameraView = nullptr;
    bool freeCameraActive = false;
    float cameraSwitchCooldown = 0.0f;
    float samplingCooldown = 0.0f;
    float mipmapCooldown = 0.0f;

    // Handed to the engine by run(); a replay sets them before calling run().
    FrameHooks hooks;
};
