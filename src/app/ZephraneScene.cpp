// Zephrane::assembleScene: the fixed world of the game, built once before the first frame.

#include "app/Zephrane.h"

#include "audio/SoundEngine.h"
#include "game/EnemyJet.h"
#include "game/FighterJet.h"
#include "game/GameSounds.h"
#include "render/MeshComponent.h"
#include "scene/Camera.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"
#include "scene/TestCube.h"

#include <glm/gtc/matrix_transform.hpp>

#include <initializer_list>

namespace {

const char* const skyboxModelPath = "Resources/models/skybox3.obj";
const char* const terrainModelPath = "Resources/models/terrain.fbx";
const char* const jetModelPath = "Resources/models/Futuristic combat jet.3ds";
const char* const lightmapObject1ModelPath = "Resources/models/finallightmapBaked.obj";
const char* const lightmapObject2ModelPath = "Resources/models/SSD+WE.obj";
const char* const targetModelPath = "Resources/models/single.obj";
const char* const lightmapBoxModelPath = "Resources/models/uvbox.obj";

// Angles in radians.
constexpr float angle90Degrees = 1.5707964f;
constexpr float angle45Degrees = 0.7853982f;
constexpr float angle110Degrees = 1.9198622f;
constexpr float angle155Degrees = 2.7052603f;
constexpr float angle175Degrees = 3.0543261f;
constexpr float angle180Degrees = 3.1415927f;
constexpr float angle185Degrees = 3.2288592f;
constexpr float angle270Degrees = 4.712389f;

constexpr float skyboxScale = 6.0f;
constexpr float terrainScale = 2.0f;
constexpr float jetScale = 0.1f;

const glm::vec3 axisX(1.0f, 0.0f, 0.0f);
const glm::vec3 axisY(0.0f, 1.0f, 0.0f);
const glm::vec3 axisZ(0.0f, 0.0f, 1.0f);

const glm::vec3 jetCameraOffset(0.0f, 0.0f, 10.0f);
const glm::vec3 freeCameraOffset(0.0f, 0.0f, -5.0f);

// The scene's only light: below the scenery, red.
const glm::vec3 lightPosition(0.0f, -40.0f, 0.0f);
const glm::vec3 lightColor(1.0f, 0.0f, 0.0f);

const glm::mat4 identity(1.0f);

glm::mat4 placedAndScaled(const glm::vec3& position, float scale) {
    return glm::scale(glm::translate(identity, position), glm::vec3(scale));
}

glm::mat4 placedAndTurned(const glm::vec3& position, float angleAboutY) {
    return glm::rotate(glm::translate(identity, position), angleAboutY, axisY);
}

MeshComponent* loadedComponent(const char* path) {
    auto* component = new MeshComponent();
    component->load(path);
    return component;
}

TestCube* scenery(const glm::mat4& placement, const char* modelPath) {
    auto* object = new TestCube(placement);
    object->addMeshComponent(loadedComponent(modelPath));
    return object;
}

// Turns from the jet model's own axes to the axes each kind of jet flies along: the player
// forward along local -z, the enemies along local +x.
glm::mat4 playerModelTurn() {
    return glm::rotate(glm::rotate(identity, angle270Degrees, axisX), angle180Degrees, axisZ);
}

glm::mat4 enemyModelTurn() {
    glm::mat4 turn = glm::rotate(identity, angle270Degrees, axisX);
    turn = glm::rotate(turn, angle90Degrees, axisX);
    turn = glm::rotate(turn, angle110Degrees, axisZ);
    return glm::rotate(turn, angle45Degrees, axisY);
}

EnemyJet* enemyJet(const glm::vec3& start) {
    auto* jet = new EnemyJet(placedAndScaled(start, jetScale));
    MeshComponent* model = loadedComponent(jetModelPath);
    model->localTransform = enemyModelTurn();
    jet->addMeshComponent(model);
    return jet;
}

} // namespace

void Zephrane::assembleScene() {
    // A window reported with zero height (minimised at start) would make the aspect ratio
    // infinite; a square picture is the harmless stand-in.
    const float aspectRatio = framebufferHeight > 0 ? static_cast<float>(framebufferWidth) /
                                                          static_cast<float>(framebufferHeight)
                                                    : 1.0f;
    const glm::mat4 projection = cameraProjection(aspectRatio);

    // --- Objects, in creation order ---
    skybox = scenery(placedAndScaled(glm::vec3(0.0f), skyboxScale), skyboxModelPath);
    terrain =
        scenery(placedAndScaled(glm::vec3(2.0f, -50.0f, 0.0f), terrainScale), terrainModelPath);

    player = new FighterJet(placedAndScaled(glm::vec3(1.0f, 0.0f, 0.0f), jetScale));
    MeshComponent* playerModel = loadedComponent(jetModelPath);
    playerModel->localTransform = playerModelTurn();
    auto* jetCamera = new CameraComponent(glm::translate(identity, jetCameraOffset));
    jetCamera->projection = projection;
    player->addMeshComponent(playerModel);
    player->addCameraComponent(jetCamera);
    player->setCameraComponent(jetCamera);

    enemyJet1 = enemyJet(glm::vec3(45.5f, 0.0f, 0.0f));
    enemyJet2 = enemyJet(glm::vec3(-30.5f, 30.0f, -30.0f));
    enemyJet3 = enemyJet(glm::vec3(40.5f, 20.0f, 70.0f));

    lightmapObject1 = scenery(placedAndTurned(glm::vec3(100.0f, -49.0f, 0.0f), angle90Degrees),
                              lightmapObject1ModelPath);
    lightmapObject2 = scenery(placedAndTurned(glm::vec3(95.0f, -49.0f, -17.0f), angle110Degrees),
                              lightmapObject2ModelPath);
    target = scenery(glm::translate(identity, glm::vec3(20.0f, -49.0f, -7.0f)), targetModelPath);
    lightmapBox1 = scenery(placedAndTurned(glm::vec3(87.0f, -49.0f, -7.0f), angle155Degrees),
                           lightmapBoxModelPath);
    lightmapBox2 = scenery(placedAndTurned(glm::vec3(87.0f, -49.0f, 0.0f), angle175Degrees),
                           lightmapBoxModelPath);
    lightmapBox3 = scenery(placedAndTurned(glm::vec3(84.0f, -49.0f, -4.0f), angle185Degrees),
                           lightmapBoxModelPath);

    // --- Registration: this order is the order of every update and draw pass ---
    for (SceneObject* object : std::initializer_list<SceneObject*>{
             player, terrain, skybox, enemyJet1, enemyJet2, enemyJet3, lightmapObject1, target,
             lightmapObject2, lightmapBox1, lightmapBox2, lightmapBox3})
        registerObject(object);

    // --- Free camera: driven only by actions, never updated or drawn by the game ---
    freeCamera = new Camera(identity);
    auto* freeCameraComponent = new CameraComponent(glm::translate(identity, freeCameraOffset));
    freeCameraComponent->projection = projection;
    freeCamera->addCameraComponent(freeCameraComponent);
    freeCamera->setCameraComponent(freeCameraComponent);

    // --- Shared view, light and sound ---
    cameraView = new CameraView();
    cameraView->worldTransform = player->getModelMatrix();
    cameraView->camera = player->getCameraComponent();
    activeCameraView = cameraView;

    sceneLight.position = lightPosition;
    sceneLight.color = lightColor;

    if (soundEngine != nullptr) {
        // Decode the effects now so that no frame stalls on the first shot or hit.
        soundEngine->preload(game_sounds::rocket);
        soundEngine->preload(game_sounds::explosion);
        soundEngine->play2D(game_sounds::music, true);
    }
}
