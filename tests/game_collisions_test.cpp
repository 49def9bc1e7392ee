#include "game_test_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Collisions, TouchingSpheresDoNotCollide) {
    TestGame test;
    CoutCapture output;
    SceneObject* other = test.game.enemyJet2;
    other->setModelMatrix(at(glm::vec3(2.0f, 0.0f, 0.0f))); // two unit spheres
    EXPECT_FALSE(test.game.collidesWithPlayer(other));
    EXPECT_EQ(output.buffer.str(), "");
    other->setModelMatrix(at(glm::vec3(std::nextafter(2.0f, 0.0f), 0.0f, 0.0f)));
    EXPECT_TRUE(test.game.collidesWithPlayer(other));
    other->setModelMatrix(at(glm::vec3(std::numeric_limits<float>::quiet_NaN(), 0.0f, 0.0f)));
    EXPECT_FALSE(test.game.collidesWithPlayer(other));
}

TEST(Collisions, FirstPairOnlyIsWrittenWithUnscaledRadius) {
    TestGame test;
    // The jet drawn at a tenth of its size keeps its model radius of 10.
    test.game.player->setModelMatrix(glm::scale(glm::mat4(1.0f), glm::vec3(0.1f)));
    test.game.player->getMeshComponents()[0]->radius = 10.0f;
    test.game.player->getMeshComponents()[0]->center = glm::vec3(20.0f, 0.0f, 0.0f);
    test.game.player->addMeshComponent(bounds(glm::vec3(0.0f), 1234567.0f)); // reaches anything
    SceneObject* other = test.game.enemyJet3;
    other->setModelMatrix(at(glm::vec3(11.5f, 1.0f, -1.25f)));
    other->getMeshComponents()[0]->center = glm::vec3(100.0f, 0.0f, 0.0f); // out of reach
    other->addMeshComponent(bounds(glm::vec3(0.0f), 0.5f));

    CoutCapture output;
    EXPECT_TRUE(test.game.collidesWithPlayer(other));
    EXPECT_EQ(output.buffer.str(), "Radius player: 10\n"
                                   "Radius other: 0.5\n"
                                   "Center player: vec3(2.000000, 0.000000, 0.000000)\n"
                                   "Center other: vec3(11.500000, 1.000000, -1.250000)\n");

    test.game.player->getMeshComponents()[0]->center = glm::vec3(-500.0f, 0.0f, 0.0f);
    CoutCapture second;
    EXPECT_TRUE(test.game.collidesWithPlayer(other));
    EXPECT_EQ(second.lines().at(0), "Radius player: 1.23457e+06");
    EXPECT_EQ(second.lines().at(1), "Radius other: 1");
}

TEST(Collisions, SkyboxWallsAndTerrainFloorCountWhenTouched) {
    TestGame test;
    Zephrane& g = test.game;
    CoutCapture output;
    g.skybox->setModelMatrix(glm::scale(glm::mat4(1.0f), glm::vec3(2.0f))); // walls at +-200
    g.player->setModelMatrix(at(glm::vec3(198.5f, 0.0f, 0.0f)));
    EXPECT_FALSE(g.playerHitsSkybox());
    g.player->setModelMatrix(at(glm::vec3(199.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(g.playerHitsSkybox());
    g.player->setModelMatrix(at(glm::vec3(0.0f, 0.0f, -199.0f)));
    EXPECT_TRUE(g.playerHitsSkybox());

    // The floor is the terrain box's bottom (-50 * 2 + 90), wherever the jet is horizontally.
    g.terrain->setModelMatrix(glm::scale(at(glm::vec3(0.0f, 90.0f, 0.0f)), glm::vec3(2.0f)));
    g.player->setModelMatrix(at(glm::vec3(0.0f, -8.5f, 0.0f)));
    EXPECT_FALSE(g.playerHitsTerrain());
    g.player->setModelMatrix(at(glm::vec3(5000.0f, -9.0f, 5000.0f)));
    EXPECT_TRUE(g.playerHitsTerrain());

    // A sky box model that failed to load is one point: always hit. No model at all: no walls.
    g.player->setModelMatrix(glm::mat4(1.0f));
    g.skybox->getMeshComponents()[0]->boundsMax = g.skybox->getMeshComponents()[0]->boundsMin;
    EXPECT_TRUE(g.playerHitsSkybox());
    TestCube bare(glm::mat4(1.0f));
    g.skybox = g.terrain = &bare;
    EXPECT_FALSE(g.playerHitsSkybox());
    EXPECT_FALSE(g.playerHitsTerrain());
    EXPECT_EQ(output.buffer.str(), "");
}

TEST(Collisions, RocketsAgainstTargetAndJetsUseTheirOwnLabels) {
    TestGame test;
    CoutCapture output;
    EXPECT_FALSE(test.game.rocketHitsTarget()); // nothing in flight

    // Target at x 1300, enemy jet 1 at x 1000; the rocket's scale leaves its radius alone.
    auto* rocket = new Rocket(glm::scale(at(glm::vec3(1300.0f, 0.0f, 5.5f)), glm::vec3(0.01f)));
    rocket->addMeshComponent(bounds(glm::vec3(0.0f), 5.0f));
    test.game.player->rockets.push_back(rocket);
    EXPECT_TRUE(test.game.rocketHitsTarget());
    EXPECT_FALSE(test.game.rocketHitsJet(test.game.enemyJet1));
    rocket->setModelMatrix(at(glm::vec3(1000.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(test.game.rocketHitsJet(test.game.enemyJet1));
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{"Radius rocket: 5", "Radius target: 1",
                                        "Center rocket: vec3(1300.000000, 0.000000, 5.500000)",
                                        "Center target: vec3(1300.000000, 0.000000, 0.000000)",
                                        "Radius rocket: 5", "Radius jet: 1",
                                        "Center rocket: vec3(1000.000000, 0.000000, 0.000000)",
                                        "Center jet: vec3(1000.000000, 0.000000, 0.000000)"}));
}
