#include "game_test_scene.h"

#include "scene/Camera.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <gtest/gtest.h>

// In a directory without model files every load fails harmlessly, so the wiring of the scene
// can be checked without OpenGL.
TEST(SceneAssembly, BuildsRegistersAndWiresTheFixedScene) {
    Zephrane game;
    RecordingSound sound;
    game.soundEngine = &sound;
    game.framebufferWidth = 800;
    game.framebufferHeight = 600;
    {
        testing_support::TempDir empty;
        testing_support::ScopedWorkingDirectory inEmpty(empty.path());
        CoutCapture quiet;
        game.assembleScene();
    }
    // Created first, the sky box is registered third; the target sits between the two
    // light-mapped objects; the free camera is not registered.
    EXPECT_EQ(game.objects,
              (std::vector<SceneObject*>{game.player, game.terrain, game.skybox, game.enemyJet1,
                                         game.enemyJet2, game.enemyJet3, game.lightmapObject1,
                                         game.target, game.lightmapObject2, game.lightmapBox1,
                                         game.lightmapBox2, game.lightmapBox3}));
    EXPECT_EQ(game.target->getModelMatrix(), at(glm::vec3(20.0f, -49.0f, -7.0f)));

    CameraComponent* jetCamera = game.player->getCameraComponent();
    ASSERT_NE(jetCamera, nullptr);
    EXPECT_FLOAT_EQ(jetCamera->projection[0][0], 0.75f);
    EXPECT_EQ(game.freeCamera->getCameraComponent()->projection, jetCamera->projection);
    EXPECT_EQ(activeCameraView, game.cameraView);
    EXPECT_EQ(game.cameraView->camera, jetCamera);
    EXPECT_EQ(game.cameraView->worldTransform, game.player->getModelMatrix());
    EXPECT_EQ(sceneLight.position, glm::vec3(0.0f, -40.0f, 0.0f));
    EXPECT_EQ(sceneLight.color, glm::vec3(1.0f, 0.0f, 0.0f));

    // Effects are decoded before the first frame; the music loops.
    EXPECT_EQ(sound.preloaded, (std::vector<std::string>{"Resources/audio/rocket.mp3",
                                                         "Resources/audio/explosion.mp3"}));
    EXPECT_EQ(sound.played,
              (std::vector<std::pair<std::string, bool>>{{"Resources/audio/bgm.mp3", true}}));
    activeCameraView = nullptr;
}
