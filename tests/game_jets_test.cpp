#include "game_test_scene.h"

#include "scene/CameraComponent.h"

#include <gtest/gtest.h>

namespace {

glm::vec3 position(const glm::mat4& placement) {
    return glm::vec3(placement[3]);
}

// The player's jet as the game places it: at (1, 0, 0), a tenth of its model size, with its
// camera and a recording sound engine.
struct PlacedJet {
    FighterJet* jet = quietJet(glm::scale(at(glm::vec3(1.0f, 0.0f, 0.0f)), glm::vec3(0.1f)));
    CameraComponent camera{glm::mat4(1.0f)};
    RecordingSound sound;
    PlacedJet() {
        jet->setCameraComponent(&camera);
        jet->soundEngine = &sound;
    }
};

} // namespace

TEST(PlayerJet, ViewModesPlaceTheEyeAndLookAtTheJet) {
    PlacedJet placed;
    placed.jet->speed = 0.0f;
    const glm::vec3 eyes[3] = {{1.0f, 0.8f, 2.0f}, {1.0f, 0.0f, 0.1f}, {1.0f, 0.3f, -0.5f}};
    for (int mode = 0; mode < 3; ++mode) {
        placed.jet->viewMode = mode;
        placed.jet->update(0.0f);
        const glm::vec3 eye = position(placed.camera.eyeMatrix);
        EXPECT_NEAR(glm::distance(eye, eyes[mode]), 0.0f, 1e-6f) << mode;
        const glm::vec3 jetInView(placed.camera.view * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f));
        const float range = glm::distance(eye, glm::vec3(1.0f, 0.0f, 0.0f));
        EXPECT_NEAR(glm::distance(jetInView, glm::vec3(0.0f, 0.0f, -range)), 0.0f, 1e-5f) << mode;
    }
}

TEST(PlayerJet, SpeedLimitsAreTestedBeforeTheChange) {
    PlacedJet placed;
    float& speed = placed.jet->speed;
    for (int frame = 0; frame < 1000 && speed <= 110.0f; ++frame)
        placed.jet->onAction(KeyW, 0.1f); // 1.5 per frame
    EXPECT_GT(speed, 110.0f);
    EXPECT_LE(speed, 111.5f + 1e-4f);
    const float top = speed;
    placed.jet->onAction(KeyW, 0.1f);
    EXPECT_EQ(speed, top);
    for (int frame = 0; frame < 1000 && speed >= 40.0f; ++frame)
        placed.jet->onAction(KeyS, 0.1f);
    EXPECT_LT(speed, 40.0f);
    EXPECT_GE(speed, 38.5f - 1e-4f);
}

TEST(PlayerJet, HoldingSpaceFiresAtOnceThenEveryFiveSeconds) {
    PlacedJet placed;
    std::vector<int> firingFrames;
    for (int frame = 0; frame < 48; ++frame) { // 12 seconds at 4 frames per second
        const size_t before = placed.jet->rockets.size();
        placed.jet->onAction(KeySpace, 0.25f);
        if (placed.jet->rockets.size() > before)
            firingFrames.push_back(frame);
        placed.jet->update(0.25f);
    }
    EXPECT_EQ(firingFrames, (std::vector<int>{0, 20, 40}));
    // Each leaves from the jet's placement at a tenth of its size, with the shared model.
    EXPECT_EQ(placed.jet->rockets[0]->getMeshComponents(),
              std::vector<MeshComponent*>{placed.jet->rocketMesh});
    EXPECT_EQ(glm::mat3(placed.jet->rockets[0]->getModelMatrix()), glm::mat3(0.1f * 0.1f));
    EXPECT_EQ(placed.sound.played, (std::vector<std::pair<std::string, bool>>(
                                       3, {"Resources/audio/rocket.mp3", false})));

    // Never registered: no sound engine, fires silently.
    placed.jet->soundEngine = nullptr;
    placed.jet->rocketCooldown = 0.0f;
    placed.jet->onAction(KeySpace, 0.25f);
    EXPECT_EQ(placed.jet->rockets.size(), 4u);
}

TEST(PlayerJet, ViewKeyCyclesAtMostOncePerSecond) {
    PlacedJet placed;
    std::vector<int> modes;
    for (int press = 0; press < 4; ++press) {
        placed.jet->onAction(Key2, 0.0f);
        placed.jet->onAction(Key2, 0.0f); // held on
        modes.push_back(placed.jet->viewMode);
        placed.jet->update(1.0f);
    }
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 0, 1}));
}

// UP pitches the nose down, DOWN up; A rolls left (the right wing rises), D right.
TEST(PlayerJet, FlightKeysTurnTheWayTheHelpScreenSays) {
    const struct {
        InputAction key;
        int noseUp, rightWingUp; // the sign of the world height each gains
    } keys[] = {{KeyUp, -1, 0}, {KeyDown, +1, 0}, {KeyA, 0, +1}, {KeyD, 0, -1}};
    for (const auto& k : keys) {
        PlacedJet placed;
        placed.jet->onAction(k.key, 0.1f);
        const glm::mat4 m = placed.jet->getModelMatrix();
        const float nose = glm::normalize(glm::vec3(m * glm::vec4(0, 0, -1, 0))).y;
        const float rightWing = glm::normalize(glm::vec3(m * glm::vec4(1, 0, 0, 0))).y;
        EXPECT_EQ((nose > 1e-3f) - (nose < -1e-3f), k.noseUp) << "key " << k.key;
        EXPECT_EQ((rightWing > 1e-3f) - (rightWing < -1e-3f), k.rightWingUp) << "key " << k.key;
    }
}

// A rocket flies 1400 of its model units a second along its own -z, whatever the speed of the
// jet that fired it.
TEST(PlayerJet, RocketsFlyAtTheirOwnSpeedAlongTheirOwnAxis) {
    for (float jetSpeed : {40.0f, 110.0f}) {
        PlacedJet placed;
        placed.jet->speed = jetSpeed;
        placed.jet->onAction(KeyD, 0.5f); // rolled and pitched, so that -z is no world axis
        placed.jet->onAction(KeyUp, 0.5f);
        placed.jet->onAction(KeySpace, 0.0f);
        ASSERT_EQ(placed.jet->rockets.size(), 1u);
        const glm::mat4 fired = placed.jet->rockets[0]->getModelMatrix();
        placed.jet->update(0.5f);
        const glm::vec3 flown =
            glm::vec3(placed.jet->rockets[0]->getModelMatrix()[3]) - glm::vec3(fired[3]);
        const glm::vec3 expected(fired * glm::vec4(0.0f, 0.0f, -700.0f, 0.0f));
        EXPECT_LT(glm::distance(flown, expected), 1e-3f) << "jet speed " << jetSpeed;
    }
}

// An enemy jet flies a circle of radius 10 / 0.1745 (57.3 units) in 36 s, turning from +x
// towards -z, and climbs a unit a second: after half a turn it is across the circle, after a
// whole one back above its start.
TEST(EnemyJets, FlyAClimbingCircle) {
    EnemyJet jet(at(glm::vec3(5.0f, 0.0f, 5.0f)));
    constexpr float frame = 1.0f / 60.0f;
    for (int i = 0; i < 1080; ++i)
        jet.update(frame);
    const glm::vec3 half(jet.getModelMatrix()[3]);
    EXPECT_LT(glm::distance(half, glm::vec3(5.0f, 18.0f, 5.0f - 114.59f)), 0.3f);
    for (int i = 0; i < 1080; ++i)
        jet.update(frame);
    EXPECT_LT(glm::distance(glm::vec3(jet.getModelMatrix()[3]), glm::vec3(5.0f, 36.0f, 5.0f)),
              0.3f);
}
