#pragma once

// Helpers of the game's GL-free tests: a sound engine that records, a capture of standard
// output, components with hand-set bounds, and a game whose objects are built by hand.
#include "TestSupport.h"
#include "app/Zephrane.h"
#include "audio/SoundEngine.h"
#include "game/EnemyJet.h"
#include "game/FighterJet.h"
#include "game/Rocket.h"
#include "render/MeshComponent.h"
#include "scene/TestCube.h"

#include <glm/gtc/matrix_transform.hpp>

#include <iostream>
#include <sstream>

using Played = std::vector<std::pair<std::string, bool>>; // each path, and whether it loops

struct RecordingSound final : SoundEngine {
    void play2D(const std::string& path, bool looped) override {
        played.emplace_back(path, looped);
    }
    void preload(const std::string& path) override { preloaded.push_back(path); }
    bool isAudible() const override { return audible; }
    void setVolumes(int music, int effects) override { volumes.emplace_back(music, effects); }
    void setMuted(bool muted) override { mutes.push_back(muted); }
    bool audible = false;
    Played played;
    std::vector<std::string> preloaded;
    std::vector<std::pair<int, int>> volumes;
    std::vector<bool> mutes;
};

struct CoutCapture {
    std::ostringstream buffer;
    std::streambuf* previous = std::cout.rdbuf(buffer.rdbuf());
    ~CoutCapture() { std::cout.rdbuf(previous); }
    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(buffer.str());
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }
};

inline glm::mat4 at(const glm::vec3& position) {
    return glm::translate(glm::mat4(1.0f), position);
}

// A component that was never loaded: no meshes, only bounds.
inline MeshComponent* bounds(const glm::vec3& center, float radius,
                             const glm::vec3& low = glm::vec3(0.0f),
                             const glm::vec3& high = glm::vec3(0.0f)) {
    auto* component = new MeshComponent();
    component->center = center;
    component->radius = radius;
    component->boundsMin = low;
    component->boundsMax = high;
    return component;
}

// The jet's constructor loads two models; in an empty directory both fail harmlessly, no GL.
inline FighterJet* quietJet(const glm::mat4& placement) {
    testing_support::TempDir empty;
    testing_support::ScopedWorkingDirectory inEmpty(empty.path());
    CoutCapture quiet;
    return new FighterJet(placement);
}

// The player (a unit sphere at the origin, standing still) inside a sky box from -100 to 100,
// above a terrain floor at -50; the other nine objects are unit spheres at x = 1000, 1100, ...
// in the order enemy jets, target, light-mapped objects, boxes. Registered in the game's order.
struct TestGame {
    Zephrane game;
    RecordingSound sound;

    TestGame() {
        Zephrane& g = game;
        g.soundEngine = &sound;
        g.player = quietJet(glm::mat4(1.0f));
        g.player->speed = 0.0f;
        g.player->addMeshComponent(bounds(glm::vec3(0.0f), 1.0f));
        g.skybox = new TestCube(glm::mat4(1.0f));
        g.skybox->addMeshComponent(bounds(glm::vec3(0.0f), 0.0f, glm::vec3(-100), glm::vec3(100)));
        g.terrain = new TestCube(glm::mat4(1.0f));
        g.terrain->addMeshComponent(
            bounds(glm::vec3(0.0f), 0.0f, glm::vec3(-100, -50, -100), glm::vec3(100, -40, 100)));
        float x = 1000.0f;
        auto distant = [&x]<class T>(T*& object) {
            object = new T(at(glm::vec3(x, 0.0f, 0.0f)));
            object->addMeshComponent(bounds(glm::vec3(0.0f), 1.0f));
            x += 100.0f;
        };
        distant(g.enemyJet1), distant(g.enemyJet2), distant(g.enemyJet3), distant(g.target);
        distant(g.lightmapObject1), distant(g.lightmapObject2);
        distant(g.lightmapBox1), distant(g.lightmapBox2), distant(g.lightmapBox3);
        for (SceneObject* object : std::initializer_list<SceneObject*>{
                 g.player, g.terrain, g.skybox, g.enemyJet1, g.enemyJet2, g.enemyJet3,
                 g.lightmapObject1, g.target, g.lightmapObject2, g.lightmapBox1, g.lightmapBox2,
                 g.lightmapBox3})
            g.registerObject(object);
    }

    // A rocket in flight whose sphere reaches the target wherever it is.
    void fireHugeRocket() {
        auto* rocket = new Rocket(glm::mat4(1.0f));
        rocket->addMeshComponent(bounds(glm::vec3(0.0f), 1.0e5f));
        game.player->rockets.push_back(rocket);
    }
};
