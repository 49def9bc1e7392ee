// Zephrane's rules: the per-frame update, the bounding-sphere collision tests and the move of
// the target after a hit.

#include "app/Zephrane.h"

#include "audio/SoundEngine.h"
#include "game/EnemyJet.h"
#include "game/FighterJet.h"
#include "game/GameSounds.h"
#include "game/Rocket.h"
#include "render/MeshComponent.h"
#include "scene/TestCube.h"

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtx/string_cast.hpp>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <iostream>

namespace {

// The labels of the four diagnostic lines a sphere test writes for its colliding pair.
struct PairLabels {
    const char* first;
    const char* second;
};
const PairLabels playerLabels{"player", "other"};
const PairLabels rocketTargetLabels{"rocket", "target"};
const PairLabels rocketJetLabels{"rocket", "jet"};

glm::vec3 worldPoint(const glm::mat4& placement, const glm::vec3& point) {
    return glm::vec3(placement * glm::vec4(point, 1.0f));
}

// One pair of bounding spheres. The radius is taken as stored: the object's scale moves the
// centre but does not grow or shrink the sphere. Touching is not colliding; NaN never collides.
bool spheresOverlap(const glm::vec3& centreA, float radiusA, const glm::vec3& centreB,
                    float radiusB) {
    const glm::vec3 d = centreB - centreA;
    const float distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    return radiusA + radiusB > distance;
}

void reportPair(const PairLabels& labels, float radiusA, float radiusB, const glm::vec3& centreA,
                const glm::vec3& centreB) {
    std::cout << "Radius " << labels.first << ": " << radiusA << std::endl;
    std::cout << "Radius " << labels.second << ": " << radiusB << std::endl;
    std::cout << "Center " << labels.first << ": " << glm::to_string(centreA) << std::endl;
    std::cout << "Center " << labels.second << ": " << glm::to_string(centreB) << std::endl;
}

// Every component of `a` (outer loop) against every component of `b`; the first colliding
// pair is reported and ends the search.
bool objectsCollide(SceneObject& a, SceneObject& b, const PairLabels& labels) {
    const glm::mat4 placementA = a.getModelMatrix();
    const glm::mat4 placementB = b.getModelMatrix();
    const std::vector<MeshComponent*> componentsB = b.getMeshComponents();
    for (const MeshComponent* componentA : a.getMeshComponents()) {
        const glm::vec3 centreA = worldPoint(placementA, componentA->center);
        for (const MeshComponent* componentB : componentsB) {
            const glm::vec3 centreB = worldPoint(placementB, componentB->center);
            if (spheresOverlap(centreA, componentA->radius, centreB, componentB->radius)) {
                reportPair(labels, componentA->radius, componentB->radius, centreA, centreB);
                return true;
            }
        }
    }
    return false;
}

// The target's place as the diagnostics show it: its model's sphere centre in the world. A
// target without a model is shown at its origin.
glm::vec3 targetCentre(SceneObject& target) {
    const std::vector<MeshComponent*> components = target.getMeshComponents();
    const glm::vec3 centre = components.empty() ? glm::vec3(0.0f) : components.front()->center;
    return worldPoint(target.getModelMatrix(), centre);
}

// The whole-number width of a placement range. A range narrower than one unit would make the
// random offset divide by zero: it is treated as one unit wide, so the offset is always 0.
// Absurdly wide model bounds are capped to what an int holds.
int placementSpan(float extent) {
    const double whole = std::trunc(static_cast<double>(extent));
    const double capped =
        std::fmax(std::fmin(whole, static_cast<double>(INT_MAX)), -static_cast<double>(INT_MAX));
    const int span = static_cast<int>(capped);
    return span == 0 ? 1 : span;
}

// A whole-number coordinate: a random offset below the span added to the range's start.
float randomCoordinate(int span, float start) {
    const int offset = std::rand() % span;
    return std::trunc(static_cast<float>(offset) + start);
}

} // namespace

// --- Frame update ---

void Zephrane::preUpdate(float) {}

void Zephrane::update(float deltaTime) {
    preUpdate(deltaTime);
    // Per call, not per second: the survival bonus follows the frame rate.
    points += pointsPerUpdate;
    GameBase::update(deltaTime);

    for (float* cooldown : {&cameraSwitchCooldown, &samplingCooldown, &mipmapCooldown})
        if (*cooldown > 0.0f)
            *cooldown -= deltaTime;

    // All tests run every frame, even after the first hit, so every collision is reported.
    int hits = 0;
    auto check = [&hits](bool hit, const char* line) {
        if (hit) {
            std::cout << line << std::endl;
            ++hits;
        }
    };
    check(collidesWithPlayer(enemyJet1), "---Collision with enemy jet ---");
    check(collidesWithPlayer(enemyJet2), "---Collision with enemy jet 2 ---");
    check(collidesWithPlayer(enemyJet3), "---Collision with enemy jet 3 ---");
    check(collidesWithPlayer(target), "---Collision with target object ---");
    check(collidesWithPlayer(lightmapObject1), "---Collision with lightmap object ---");
    check(playerHitsSkybox(), "---Collision with skybox ---");
    check(playerHitsTerrain(), "---Collision with terrain ---");
    check(collidesWithPlayer(lightmapObject2), "---Collision with lightmap object ---");
    check(collidesWithPlayer(lightmapBox1), "---Collision with lightmap object ---");
    check(collidesWithPlayer(lightmapBox2), "---Collision with lightmap object ---");
    check(collidesWithPlayer(lightmapBox3), "---Collision with lightmap object ---");

    // A hit is scored in the frame it happens and resolved in the next one, before the rockets
    // are tested again, so the same rocket cannot score twice.
    if (targetHitLastFrame)
        respawnTarget();
    targetHitLastFrame = rocketHitsTarget();
    if (targetHitLastFrame) {
        if (soundEngine != nullptr)
            soundEngine->play2D(game_sounds::explosion, false);
        std::cout << "--- Hit target! ---" << std::endl;
        points += pointsPerTargetHit;
    }

    if (hits > 0)
        gameOver = true;
}

// --- Collision tests ---

bool Zephrane::collidesWithPlayer(SceneObject* other) {
    if (player == nullptr || other == nullptr)
        return false;
    return objectsCollide(*player, *other, playerLabels);
}

bool Zephrane::playerHitsSkybox() {
    // Without a sky box model there are no walls to hit.
    if (player == nullptr || skybox == nullptr || skybox->getMeshComponents().empty())
        return false;
    const glm::mat4 skyboxPlacement = skybox->getModelMatrix();
    const MeshComponent* walls = skybox->getMeshComponents().front();
    // The corners are carried over as they are, not re-sorted: a mirrored sky box would swap
    // them and catch the jet everywhere.
    const glm::vec3 low = worldPoint(skyboxPlacement, walls->boundsMin);
    const glm::vec3 high = worldPoint(skyboxPlacement, walls->boundsMax);
    const glm::mat4 playerPlacement = player->getModelMatrix();
    for (const MeshComponent* component : player->getMeshComponents()) {
        const glm::vec3 p = worldPoint(playerPlacement, component->center);
        const float r = component->radius;
        // Touching a wall counts: the jet must stay strictly inside.
        if (low.x >= p.x - r || low.y >= p.y - r || low.z >= p.z - r || p.x + r >= high.x ||
            p.y + r >= high.y || p.z + r >= high.z)
            return true;
    }
    return false;
}

bool Zephrane::playerHitsTerrain() {
    // Without a terrain model there is no floor.
    if (player == nullptr || terrain == nullptr || terrain->getMeshComponents().empty())
        return false;
    // The terrain acts as an endless floor at its box's lowest height, not as its surface.
    const float floorHeight =
        worldPoint(terrain->getModelMatrix(), terrain->getMeshComponents().front()->boundsMin).y;
    const glm::mat4 playerPlacement = player->getModelMatrix();
    for (const MeshComponent* component : player->getMeshComponents()) {
        const float height = worldPoint(playerPlacement, component->center).y;
        if (floorHeight >= height - component->radius)
            return true;
    }
    return false;
}

bool Zephrane::rocketHitsTarget() {
    if (player == nullptr || target == nullptr)
        return false;
    const std::vector<Rocket*> rockets = player->rockets;
    for (Rocket* rocket : rockets)
        if (objectsCollide(*rocket, *target, rocketTargetLabels))
            return true;
    return false;
}

bool Zephrane::rocketHitsJet(SceneObject* jet) {
    if (player == nullptr || jet == nullptr)
        return false;
    const std::vector<Rocket*> rockets = player->rockets;
    for (Rocket* rocket : rockets)
        if (objectsCollide(*rocket, *jet, rocketJetLabels))
            return true;
    return false;
}

// --- Next level ---

void Zephrane::respawnTarget() {
    // The jet owns its rockets; the ones in flight are spent.
    if (player != nullptr) {
        for (Rocket* rocket : player->rockets)
            delete rocket;
        player->rockets.clear();
    }
    ++level;
    targetHitLastFrame = false;
    timeLeft = firstLevelTimeLimit - timeLimitDecreasePerLevel * static_cast<float>(level - 1);
    if (timeLeft < smallestTimeLimit)
        timeLeft = smallestTimeLimit;

    if (target == nullptr || skybox == nullptr || terrain == nullptr)
        return;
    std::cout << "new center: " << glm::to_string(targetCentre(*target)) << std::endl;

    // The range is read from the models' own bounds; where the sky box and terrain are drawn
    // does not enter. A missing model counts as a zero box.
    const auto [skyMin, skyMax] = skybox->getBoundingBox();
    const glm::vec3 terrainMin = terrain->getBoundingBox().first;
    // Three draws in the order x, y, z from the C library's generator, which the game never
    // gives a start value: every run places the target the same way.
    const float x = randomCoordinate(placementSpan(skyMax.x - skyMin.x), skyMin.x);
    const float y = randomCoordinate(placementSpan(skyMax.y - terrainMin.y), terrainMin.y);
    const float z = randomCoordinate(placementSpan(skyMax.z - skyMin.z), skyMin.z);
    target->setModelMatrix(glm::translate(glm::mat4(1.0f), glm::vec3(x, y, z)));

    std::cout << "new center: " << glm::to_string(targetCentre(*target)) << std::endl;
}
