#include "game_test_scene.h"

#include <gtest/gtest.h>

#include <glm/gtx/string_cast.hpp>

TEST(GameRules, SurvivalPointsArePerUpdateNotPerSecond) {
    TestGame test;
    CoutCapture output;
    for (int frame = 0; frame < 60; ++frame)
        test.game.update(frame % 2 ? 0.1f : 0.001f);
    EXPECT_EQ(test.game.points, 0.59999973f); // sixty single-precision additions of 0.01
    EXPECT_FALSE(test.game.gameOver);
    EXPECT_EQ(output.buffer.str(), "");
}

TEST(GameRules, HitAndCollisionsInOneFrameAllCount) {
    TestGame test;
    test.game.enemyJet1->setModelMatrix(at(glm::vec3(1.5f, 0.0f, 0.0f)));
    test.game.terrain->setModelMatrix(at(glm::vec3(0.0f, 49.5f, 0.0f))); // floor at -0.5
    test.fireHugeRocket();
    CoutCapture output;
    test.game.update(0.0f);

    EXPECT_TRUE(test.game.gameOver);
    EXPECT_EQ(test.game.points, 0.01f + 1000.0f);
    const auto lines = output.lines();
    ASSERT_EQ(lines.size(), 11u) << output.buffer.str();
    EXPECT_EQ(lines[4], "---Collision with enemy jet ---");
    EXPECT_EQ(lines[5], "---Collision with terrain ---");
    EXPECT_EQ(lines[6], "Radius rocket: 100000");
    EXPECT_EQ(lines[10], "--- Hit target! ---");
    EXPECT_EQ(test.sound.played, (std::vector<std::pair<std::string, bool>>{
                                     {"Resources/audio/explosion.mp3", false}}));
}

TEST(GameRules, EachSphereCollisionHasItsLineAndEndsTheGame) {
    const char* const lines[] = {"enemy jet ",       "enemy jet 2 ",     "enemy jet 3 ",
                                 "target object ",   "lightmap object ", "lightmap object ",
                                 "lightmap object ", "lightmap object ", "lightmap object "};
    for (int kind = 0; kind < 9; ++kind) {
        TestGame test;
        Zephrane& g = test.game;
        SceneObject* const objects[] = {g.enemyJet1,    g.enemyJet2,       g.enemyJet3,
                                        g.target,       g.lightmapObject1, g.lightmapObject2,
                                        g.lightmapBox1, g.lightmapBox2,    g.lightmapBox3};
        objects[kind]->setModelMatrix(at(glm::vec3(0.0f, 1.5f, 0.0f)));
        CoutCapture output;
        g.update(0.0f);
        EXPECT_TRUE(g.gameOver);
        EXPECT_EQ(output.lines().back(), std::string("---Collision with ") + lines[kind] + "---");
    }
}

TEST(GameRules, TargetHitScoresOnceAndMovesTheTargetNextFrame) {
    TestGame test;
    Zephrane& g = test.game;
    const glm::vec3 modelCentre(0.5f, 0.25f, 0.0f);
    g.target->getMeshComponents()[0]->center = modelCentre;
    g.target->setModelMatrix(
        glm::scale(glm::rotate(g.target->getModelMatrix(), 0.5f, glm::vec3(0.0f, 1.0f, 0.0f)),
                   glm::vec3(3.0f)));
    const glm::vec3 oldCentre(g.target->getModelMatrix() * glm::vec4(modelCentre, 1.0f));
    test.fireHugeRocket();
    {
        CoutCapture quiet;
        g.update(0.0f);
    }
    EXPECT_EQ(g.level, 1); // scored, not resolved yet
    EXPECT_EQ(g.player->rockets.size(), 1u);

    CoutCapture output;
    g.timeLeft = 3.0f;
    g.update(0.0f);
    EXPECT_FALSE(g.targetHitLastFrame);
    EXPECT_EQ(g.level, 2);
    EXPECT_EQ(g.timeLeft, 95.0f);
    EXPECT_TRUE(g.player->rockets.empty());
    EXPECT_EQ(g.points, 0.01f + 1000.0f + 0.01f);
    EXPECT_FALSE(g.gameOver);

    // A pure translation to whole numbers: x and z within the sky box model, y from the terrain
    // model's bottom up to the sky box top.
    const glm::mat4 placed = g.target->getModelMatrix();
    const glm::vec3 place(placed[3]);
    EXPECT_EQ(glm::mat3(placed), glm::mat3(1.0f));
    EXPECT_EQ(place, glm::trunc(place));
    EXPECT_TRUE(place.x >= -100 && place.x < 100 && place.y >= -50 && place.y < 100 &&
                place.z >= -100 && place.z < 100)
        << glm::to_string(place);
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{"new center: " + glm::to_string(oldCentre),
                                        "new center: " + glm::to_string(place + modelCentre)}));
}

TEST(GameRules, TimeLimitShrinksPerLevelDownToTwentyFive) {
    TestGame test;
    CoutCapture quiet;
    std::vector<float> limits;
    for (int hit = 0; hit < 17; ++hit) {
        test.game.respawnTarget();
        limits.push_back(test.game.timeLeft);
    }
    EXPECT_EQ(limits, (std::vector<float>{95, 90, 85, 80, 75, 70, 65, 60, 55, 50, 45, 40, 35, 30,
                                          25, 25, 25}));
}

TEST(GameRules, RespawnWithoutExtentDoesNotDivideByZero) {
    TestGame test;
    CoutCapture quiet;
    test.game.skybox->getMeshComponents()[0]->boundsMin = glm::vec3(0.0f);
    test.game.skybox->getMeshComponents()[0]->boundsMax = glm::vec3(0.5f);
    TestCube bareTerrain(glm::mat4(1.0f));
    test.game.terrain = &bareTerrain;
    test.game.respawnTarget();
    EXPECT_EQ(glm::vec3(test.game.target->getModelMatrix()[3]), glm::vec3(0.0f));
}
