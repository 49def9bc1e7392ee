// The game without its window: configuration, driver messages, rules, collisions, culling, the
// scene's wiring, the key table, the gamepad mapping and what the jet and the filter keys do with
// the actions. Objects are built by hand around bounds; models load from nowhere, harmlessly.
#include "game_test_scene.h"

#include "app/DebugOutput.h"
#include "app/EngineConfig.h"
#include "app/InputHandler.h"
#include "app/RenderScaleControl.h"
#include "platform/GamepadMapping.h"
#include "platform/GlfwGamepad.h"
#include "platform/PlayerControls.h"
#include "platform/WindowFit.h"
#include "scene/Camera.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/Frustum.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtx/string_cast.hpp>

#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <tuple>

using namespace testing_support;

namespace {

struct RecordingGame final : GameBase {
    void onAction(InputAction action, float deltaTime) override {
        actions.emplace_back(action, deltaTime);
    }
    std::vector<std::pair<int, float>> actions;
};

using Actions = std::vector<std::pair<int, float>>;
constexpr float frameTime = 0.02f; // seconds

Actions actionsFor(const HeldKeys& keys, const GamepadState& pad = {}) {
    GamepadMapping mapping;
    mapping.update(pad, frameTime);
    RecordingGame game;
    InputHandler(&game).poll(PlayerControls(keys, mapping), frameTime);
    return game.actions;
}

const GamepadState connectedPad{.connected = true};

// The player's jet as the game places it.
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

TEST(GameBase, LevelClockEndsTheGameAtZeroAndRunsOn) {
    GameBase game;
    game.timeLeft = 0.5f;
    game.update(0.25f);
    EXPECT_FALSE(game.gameOver);
    game.update(0.25f);
    EXPECT_TRUE(game.gameOver); // zero counts as over
    game.update(0.5f);
    EXPECT_FLOAT_EQ(game.timeLeft, -0.5f);
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
    EXPECT_EQ(test.sound.played, (Played{{"Resources/audio/explosion.mp3", false}}));
    // Over is over: frames without a collision, with time left, do not start it again.
    test.game.enemyJet1->setModelMatrix(at(glm::vec3(1000.0f, 0.0f, 0.0f)));
    test.game.terrain->setModelMatrix(glm::mat4(1.0f));
    for (int frame = 0; frame < 3; ++frame) {
        test.game.update(0.5f);
        EXPECT_TRUE(test.game.gameOver) << "frame " << frame;
    }
    EXPECT_EQ(output.lines().size(), 13u) << output.buffer.str(); // the two new center lines
}

TEST(GameRules, EachSphereCollisionHasItsLineAndEndsTheGame) {
    // The nine objects after the player, terrain and sky box, in the order of registration.
    const char* const lines[] = {"enemy jet ",       "enemy jet 2 ",     "enemy jet 3 ",
                                 "lightmap object ", "target object ",   "lightmap object ",
                                 "lightmap object ", "lightmap object ", "lightmap object "};
    for (int kind = 0; kind < 9; ++kind) {
        TestGame test;
        test.game.objects.at(3 + kind)->setModelMatrix(at(glm::vec3(0.0f, 1.5f, 0.0f)));
        CoutCapture output;
        test.game.update(0.0f);
        EXPECT_TRUE(test.game.gameOver);
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
    CoutCapture quiet;
    g.update(0.0f);
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

// Down to twenty-five seconds; a sky box without extent does not divide by zero.
TEST(GameRules, TimeLimitShrinksPerLevelAndRespawnSurvivesNoExtent) {
    TestGame test;
    CoutCapture quiet;
    for (int hit = 0; hit < 17; ++hit) {
        test.game.respawnTarget();
        EXPECT_EQ(test.game.timeLeft, std::max(25.0f, 95.0f - 5.0f * float(hit))) << hit;
    }
    test.game.skybox->getMeshComponents()[0]->boundsMin = glm::vec3(0.0f);
    test.game.skybox->getMeshComponents()[0]->boundsMax = glm::vec3(0.5f);
    TestCube bareTerrain(glm::mat4(1.0f));
    test.game.terrain = &bareTerrain;
    test.game.respawnTarget();
    EXPECT_EQ(glm::vec3(test.game.target->getModelMatrix()[3]), glm::vec3(0.0f));
}

// Touching spheres do not collide, nor does a NaN; only the first colliding pair of components
// is written, with its model radius.
TEST(Collisions, StrictSpheresAndTheFirstPairWrittenWithItsUnscaledRadius) {
    TestGame test;
    SceneObject* other = test.game.enemyJet3;
    for (const auto& [x, collides] : {std::pair{2.0f, false},
                                      {std::nextafter(2.0f, 0.0f), true},
                                      {std::numeric_limits<float>::quiet_NaN(), false}}) {
        other->setModelMatrix(at(glm::vec3(x, 0.0f, 0.0f))); // two unit spheres
        CoutCapture output;
        EXPECT_EQ(test.game.collidesWithPlayer(other), collides) << x;
        EXPECT_EQ(output.lines().size(), collides ? 4u : 0u) << x;
    }
    // The jet drawn at a tenth of its size keeps its model radius of 10.
    test.game.player->setModelMatrix(glm::scale(glm::mat4(1.0f), glm::vec3(0.1f)));
    test.game.player->getMeshComponents()[0]->radius = 10.0f;
    test.game.player->getMeshComponents()[0]->center = glm::vec3(20.0f, 0.0f, 0.0f);
    test.game.player->addMeshComponent(bounds(glm::vec3(0.0f), 1234567.0f)); // reaches anything
    other->setModelMatrix(at(glm::vec3(11.5f, 1.0f, -1.25f)));
    other->getMeshComponents()[0]->center = glm::vec3(100.0f, 0.0f, 0.0f); // out of reach
    other->addMeshComponent(bounds(glm::vec3(0.0f), 0.5f));

    CoutCapture output;
    EXPECT_TRUE(test.game.collidesWithPlayer(other));
    EXPECT_EQ(output.buffer.str(), "Radius player: 10\n"
                                   "Radius other: 0.5\n"
                                   "Center player: vec3(2.000000, 0.000000, 0.000000)\n"
                                   "Center other: vec3(11.500000, 1.000000, -1.250000)\n");
}

// Each of the sky box's six walls, and the floor, counts when touched and not half a unit
// before; the floor is the terrain box's bottom wherever the jet is horizontally.
TEST(Collisions, SkyboxWallsAndTerrainFloorCountWhenTouched) {
    TestGame test;
    Zephrane& g = test.game;
    CoutCapture output;
    g.skybox->setModelMatrix(glm::scale(glm::mat4(1.0f), glm::vec3(2.0f))); // walls at +-200
    g.terrain->setModelMatrix(glm::scale(at(glm::vec3(0.0f, -90.0f, 0.0f)), glm::vec3(2.0f)));
    for (int axis = 0; axis < 3; ++axis)
        for (float side : {-1.0f, 1.0f})
            for (const auto& [reach, hit] : {std::pair{199.0f, true}, {198.5f, false}}) {
                glm::vec3 place(0.0f);
                place[axis] = side * reach; // the jet's unit sphere reaches `reach + 1`
                g.player->setModelMatrix(at(place));
                EXPECT_EQ(g.playerHitsSkybox(), hit) << glm::to_string(place);
                EXPECT_FALSE(g.playerHitsTerrain() && axis != 1) << glm::to_string(place);
            }
    // Floor at -50 * 2 - 90 = -190.
    for (const auto& [place, floor] : {std::pair{glm::vec3(0, -188.5f, 0), false},
                                       {glm::vec3(5000.0f, -189.0f, 5000.0f), true}}) {
        g.player->setModelMatrix(at(place));
        EXPECT_EQ(g.playerHitsTerrain(), floor) << glm::to_string(place);
    }
    // The objects' box test, which no rule uses: a shared face is no overlap, half a unit is.
    glm::vec3& low = g.player->getMeshComponents()[0]->boundsMin; // the terrain's top: y = -40
    EXPECT_FALSE((low.y = -40.0f, g.player->intersects(*g.terrain)));
    EXPECT_TRUE((low.y = -40.5f, g.player->intersects(*g.terrain)));
    // A sky box model that failed to load is one point: always hit. No model at all: no walls.
    g.player->setModelMatrix(glm::mat4(1.0f));
    g.skybox->getMeshComponents()[0]->boundsMax = g.skybox->getMeshComponents()[0]->boundsMin;
    EXPECT_TRUE(g.playerHitsSkybox());
    TestCube bare(glm::mat4(1.0f));
    g.skybox = g.terrain = &bare;
    EXPECT_FALSE(g.playerHitsSkybox() || g.playerHitsTerrain());
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

// The first deciding plane wins, and exactly one radius outside is not outside.
TEST(Culling, FirstDecidingPlaneWinsAndTheTestIsStrict) {
    Frustum frustum;
    frustum.planes.fill({glm::vec3(1.0f, 0.0f, 0.0f), 1000.0f});  // far away, accepts all below
    frustum.planes[0] = Plane{glm::vec3(1.0f, 0.0f, 0.0f), 0.0f}; // left: inside where x > 0
    frustum.planes[5] = Plane{glm::vec3(0.0f, 0.0f, 1.0f), 0.0f}; // far: inside where z > 0
    EXPECT_TRUE(frustum.isSphereVisible(glm::vec3(0.5f, 0.0f, -50.0f), 1.0f));
    EXPECT_FALSE(frustum.isSphereVisible(glm::vec3(5.0f, 0.0f, -50.0f), 1.0f));
    EXPECT_TRUE(frustum.isSphereVisible(glm::vec3(-2.0f, 0.0f, 5.0f), 2.0f));
    EXPECT_FALSE(frustum.isSphereVisible(glm::vec3(-2.001f, 0.0f, 5.0f), 2.0f));
}

// A camera of 90 degrees at the origin looking down -z, near 1, far 100: each plane in its
// place, facing inwards.
TEST(Culling, EachPlaneOfTheCameraFacesInwards) {
    const float h = std::sqrt(0.5f);
    const Plane expected[6] = {{{h, 0, -h}, 0},  {{-h, 0, -h}, 0},    {{0, h, -h}, 0},
                               {{0, -h, -h}, 0}, {{0, 0, -1}, -1.0f}, {{0, 0, 1}, 100.0f}};
    const Frustum frustum = Frustum::fromCamera(
        glm::mat4(1.0f), glm::perspective(glm::radians(90.0f), 1.0f, 1.0f, 100.0f));
    for (int i = 0; i < 6; ++i) {
        EXPECT_LT(glm::distance(frustum.planes[i].normal, expected[i].normal), 1e-5f) << i;
        EXPECT_NEAR(frustum.planes[i].distance, expected[i].distance, 1e-3f) << i;
    }
}

TEST(Culling, DrawSkipsWhatTheActiveCameraCannotSee) {
    // A camera at the origin looking down -z, with the game's projection.
    CameraComponent camera(glm::mat4(1.0f));
    camera.projection = cameraProjection(1.0f);
    CameraView view{glm::mat4(1.0f), &camera};
    activeCameraView = &view;
    // A hundred times smaller, 600 units ahead (near the far plane), yet culled with the stored
    // radius: the big sphere, 14 units outside the left plane, still reaches into the picture.
    SceneObject object(glm::scale(glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -600.0f)),
                                  glm::vec3(0.01f)));
    MeshComponent* behind = bounds(glm::vec3(0.0f, 0.0f, 70000.0f), 1.0f);
    object.addMeshComponent(bounds(glm::vec3(0.0f, 0.0f, -1000.0f), 1.0f));
    object.addMeshComponent(behind);
    object.addMeshComponent(bounds(glm::vec3(-62980.0f, 0.0f, -1000.0f), 25.0f));
    EXPECT_EQ(object.draw(false), 3);
    EXPECT_EQ(object.draw(true), 2);
    EXPECT_EQ(behind->modelMatrix, object.getModelMatrix()); // placed even when culled
    activeCameraView = nullptr;
}

// The fixed scene, assembled where no model loads; where things are and look is the replays'.
TEST(SceneAssembly, RegistersTheObjectsInTheGamesOrderAndStartsTheSound) {
    Zephrane game;
    RecordingSound sound;
    game.soundEngine = &sound;
    TempDir empty;
    ScopedWorkingDirectory inEmpty(empty.path());
    CoutCapture quiet;
    game.assembleScene();
    // Created first, the sky box is registered third; the target sits between the two
    // light-mapped objects; the free camera is not registered.
    EXPECT_EQ(game.objects,
              (std::vector<SceneObject*>{game.player, game.terrain, game.skybox, game.enemyJet1,
                                         game.enemyJet2, game.enemyJet3, game.lightmapObject1,
                                         game.target, game.lightmapObject2, game.lightmapBox1,
                                         game.lightmapBox2, game.lightmapBox3}));
    EXPECT_EQ(game.player->soundEngine, &sound);
    // Effects are decoded before the first frame; the music loops.
    EXPECT_EQ(sound.preloaded, (std::vector<std::string>{"Resources/audio/rocket.mp3",
                                                         "Resources/audio/explosion.mp3"}));
    EXPECT_EQ(sound.played, (Played{{"Resources/audio/bgm.mp3", true}}));
    // Every model file, each named by the importer that cannot open it here.
    std::string models;
    for (const std::string& line : quiet.lines())
        if (const auto open = line.find('"'); line.starts_with("ERROR::ASSIMP::"))
            models += line.substr(open + 1, line.rfind('"') - open - 1) + "\n";
    std::string files;
    const char* const jet = "Futuristic combat jet.3ds"; // the player's, then the enemies'
    for (const char* file : {"skybox3.obj", "terrain.fbx", "AIM120D.3ds", "anim.obj", jet, jet, jet,
                             jet, "finallightmapBaked.obj", "SSD+WE.obj", "single.obj", "uvbox.obj",
                             "uvbox.obj", "uvbox.obj"})
        files += std::string("Resources/models/") + file + "\n";
    EXPECT_EQ(models, files);
    // Around their circles the enemy models fly nose first (the file's -y) and 20 degrees
    // nose-up, the right wing (the file's -x) dipped 41.6 degrees: now and a quarter turn on.
    for (EnemyJet* jet : {game.enemyJet1, game.enemyJet2, game.enemyJet3})
        for (int quarter = 0; quarter < 2; ++quarter, jet->update(9.0f)) {
            const glm::mat4 model =
                jet->getModelMatrix() * jet->getMeshComponents()[0]->localTransform;
            const glm::vec3 start(jet->getModelMatrix()[3]);
            jet->update(0.01f);
            const glm::vec3 travel = glm::vec3(jet->getModelMatrix()[3]) - start;
            const glm::vec3 nose = glm::normalize(glm::vec3(model * glm::vec4(0, -1, 0, 0)));
            const float heading = glm::dot(glm::normalize(glm::vec2(nose.x, nose.z)),
                                           glm::normalize(glm::vec2(travel.x, travel.z)));
            EXPECT_NEAR(heading, 1.0f, 1e-4f) << quarter;
            EXPECT_NEAR(nose.y, std::sin(glm::radians(20.0f)), 1e-3f) << quarter;
            EXPECT_NEAR(glm::normalize(model * glm::vec4(-1, 0, 0, 0)).y, -0.6645f, 1e-3f);
        }
    activeCameraView = nullptr;
}

TEST(InputHandler, EveryHeldKeyBecomesOneActionInTableOrder) {
    std::set<int> all;
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key)
        all.insert(key);
    std::vector<int> order;
    for (const auto& [action, time] : actionsFor(all))
        order.push_back(action);
    EXPECT_EQ(order, (std::vector<int>{KeyW, KeyA, KeyD, KeyS, KeyUp, KeyDown, KeyLeft, KeyRight,
                                       KeySpace, KeyF1, KeyF2, KeyF3, KeyF4, KeyF5, KeyF6, KeyF8,
                                       KeyF9, Key1, Key2}));
    EXPECT_EQ(actionsFor({{GLFW_KEY_SPACE, GLFW_KEY_W}}),
              (Actions{{KeyW, frameTime}, {KeySpace, frameTime}}));
    EXPECT_TRUE(actionsFor({{GLFW_KEY_F7, GLFW_KEY_ESCAPE}}).empty());
}

// Buttons the replayed pad flight leaves out act like their keys (ReplayGame's pad flight flies
// the rest bit for bit like the keys). Sticks scale the rate past the dead zone; trigger axes run
// from -1 at rest to 1 and hold past half their travel (0.4 of it is -0.2, 0.6 is 0.2); a key and
// a stick together act once. Whatever its last reading said, a pad that is gone holds nothing.
TEST(Gamepad, ButtonsAndAxesActLikeTheirKeysWhileThePadIsThere) {
    GamepadState buttons = connectedPad, gone;
    for (int button : {GLFW_GAMEPAD_BUTTON_X, GLFW_GAMEPAD_BUTTON_BACK, GLFW_GAMEPAD_BUTTON_DPAD_UP,
                       GLFW_GAMEPAD_BUTTON_LEFT_BUMPER})
        buttons.buttons[button] = true;
    gone.buttons.fill(true);
    gone.axes = {-1.0f, -1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    auto axis = [](int axis, float value) {
        GamepadState pad = connectedPad;
        pad.axes[axis] = value;
        return pad;
    };
    const std::tuple<GamepadState, std::set<int>, Actions> rows[] = {
        {buttons, {}, actionsFor({{GLFW_KEY_1, GLFW_KEY_F1, GLFW_KEY_F2, GLFW_KEY_F8}})},
        {gone, {}, {}},
        {axis(GLFW_GAMEPAD_AXIS_LEFT_X, 0.1f), {}, {}},
        {axis(GLFW_GAMEPAD_AXIS_LEFT_X, 0.5f), {}, {{KeyD, frameTime * 0.5f}}},
        {axis(GLFW_GAMEPAD_AXIS_LEFT_X, 1.0f), {}, {{KeyD, frameTime}}},
        {axis(GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER, -0.2f), {}, {}},
        {axis(GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER, 0.2f), {}, {{KeyW, frameTime}}},
        {axis(GLFW_GAMEPAD_AXIS_LEFT_X, -0.5f), {GLFW_KEY_A}, {{KeyA, frameTime}}}};
    int row = 0;
    for (const auto& [pad, held, expected] : rows)
        EXPECT_EQ(actionsFor(held, pad), expected) << "row " << row++;
}

TEST(Gamepad, BackAndStartHeldForASecondQuit) {
    GamepadState chord = connectedPad, back = connectedPad, start = connectedPad;
    chord.buttons[GLFW_GAMEPAD_BUTTON_BACK] = chord.buttons[GLFW_GAMEPAD_BUTTON_START] = true;
    back.buttons[GLFW_GAMEPAD_BUTTON_BACK] = start.buttons[GLFW_GAMEPAD_BUTTON_START] = true;
    auto escAfter = [](std::vector<GamepadState*> readings) {
        GamepadMapping mapping;
        for (const GamepadState* reading : readings)
            mapping.update(*reading, 0.25f);
        return std::pair{mapping.isDown(GLFW_KEY_ESCAPE), mapping.isDown(GLFW_KEY_F1)};
    };
    EXPECT_EQ(escAfter({&chord, &chord, &chord}), std::pair(false, false));
    EXPECT_EQ(escAfter({&chord, &chord, &chord, &chord}), std::pair(true, false));
    EXPECT_EQ(escAfter(std::vector(10, &back)), std::pair(false, true));
    EXPECT_EQ(escAfter(std::vector(10, &start)), std::pair(false, false));
    // Letting go of either starts the second over.
    EXPECT_EQ(escAfter({&chord, &chord, &back, &chord, &chord}), std::pair(false, false));
}

TEST(Gamepad, MappingFilesAreCheckedBeforeGlfwSeesThem) {
    const std::string good =
        "# a comment\n\n"
        "030000005E0400008E02000014010000,Test Pad,a:b0,b:b1,leftx:a0,platform:Linux,\r\n";
    std::string problem;
    EXPECT_TRUE(GlfwGamepad::isMappingText(good, problem)) << problem;
    for (const char* damaged :
         {"030000005e0400008e0200001401000,Short GUID,a:b0\n",
          "030000005e0400008e02000014010000,No fields\n",
          "030000005e0400008e02000014010000,Pad,a:b0,garbage,b:b1\n",
          "030000005e0400008e02000014010000,Pad,:b0\n", "030000005e0400008e02000014010000,Pad,a:\n",
          "030000005g0400008e02000014010000,Pad,a:b0\n",
          "-30000005e0400008e02000014010000,Pad,a:b0\n", "\x89PNG\r\n\x1a\n"}) {
        EXPECT_FALSE(GlfwGamepad::isMappingText(good + damaged, problem)) << damaged;
        EXPECT_EQ(problem, "line 4 is not a gamepad mapping") << damaged;
    }
    // GLFW's longest line is 1023 characters; the file may hold 4 MiB of text.
    const std::string longest =
        "030000005e0400008e02000014010000," + std::string(1023 - 38, 'P') + ",a:b0";
    EXPECT_TRUE(GlfwGamepad::isMappingText(longest, problem)) << problem;
    EXPECT_FALSE(GlfwGamepad::isMappingText("\n" + longest + "0\n", problem));
    EXPECT_EQ(problem, "line 2 is not a gamepad mapping");
    TempDir dir;
    const std::string file = (dir.path() / "gamecontrollerdb.txt").string();
    for (const auto& [content, why] : {std::pair{std::string(4 << 20, '#'), ""},
                                       {std::string((4 << 20) + 1, '#'), "it is larger than 4 MiB"},
                                       {std::string("#\0\n", 3), "it is not text"}}) {
        writeFile(file, content);
        ::testing::internal::CaptureStderr();
        GlfwGamepad::loadMappings(file.c_str());
        const std::string err = ::testing::internal::GetCapturedStderr();
        for (const std::string refusal : {"it is larger than 4 MiB", "it is not text"})
            EXPECT_EQ(err.find("(" + refusal + ")") != std::string::npos, refusal == why) << err;
    }
}

// The view key, held on, cycles the modes at most once a second; each places the eye and looks
// at the jet.
TEST(PlayerJet, ViewKeyCyclesModesThatPlaceTheEyeAndLookAtTheJet) {
    PlacedJet placed;
    placed.jet->speed = 0.0f;
    const glm::vec3 eyes[3] = {{1.0f, 0.8f, 2.0f}, {1.0f, 0.0f, 0.1f}, {1.0f, 0.3f, -0.5f}};
    for (int mode : {1, 2, 0, 1}) {
        placed.jet->onAction(Key2, 0.0f);
        placed.jet->onAction(Key2, 0.0f);
        ASSERT_EQ(placed.jet->viewMode, mode);
        placed.jet->update(1.0f);
        const glm::vec3 eye(placed.camera.eyeMatrix[3]);
        EXPECT_NEAR(glm::distance(eye, eyes[mode]), 0.0f, 1e-6f) << mode;
        const glm::vec3 jetInView(placed.camera.view * glm::vec4(1.0f, 0.0f, 0.0f, 1.0f));
        const float range = glm::distance(eye, glm::vec3(1.0f, 0.0f, 0.0f));
        EXPECT_NEAR(glm::distance(jetInView, glm::vec3(0.0f, 0.0f, -range)), 0.0f, 1e-5f) << mode;
    }
}

TEST(PlayerJet, SpeedLimitsAreTestedBeforeTheChange) {
    PlacedJet placed;
    float& speed = placed.jet->speed;
    // The speed before, the key held a tenth of a second (a change of 1.5), the speed after:
    // at a limit the change is still made, so the speed ends one step beyond it.
    const std::tuple<float, InputAction, float> rows[] = {{110.0f, KeyW, 111.5f},
                                                          {110.01f, KeyW, 110.01f},
                                                          {40.0f, KeyS, 38.5f},
                                                          {39.99f, KeyS, 39.99f}};
    for (const auto& [before, key, after] : rows) {
        speed = before;
        placed.jet->onAction(key, 0.1f);
        EXPECT_FLOAT_EQ(speed, after) << before;
    }
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
    EXPECT_EQ(placed.sound.played, (Played(3, {"Resources/audio/rocket.mp3", false})));
    // Never registered: no sound engine, fires silently.
    placed.jet->soundEngine = nullptr;
    placed.jet->rocketCooldown = 0.0f;
    placed.jet->onAction(KeySpace, 0.25f);
    EXPECT_EQ(placed.jet->rockets.size(), 4u);
}

// The spinner hangs 10 model units below the jet and turns about its own vertical at 30 degrees
// a second of flight, wherever the jet flies and however it rolls.
TEST(PlayerJet, SpinnerHangsBelowAndTurnsWithTheFlightTime) {
    PlacedJet placed;
    placed.jet->onAction(KeyD, 0.5f);
    for (const auto& [seconds, degrees] : {std::pair{0.5f, 15.0f}, {2.5f, 90.0f}, {9.0f, 360.0f}}) {
        placed.jet->update(seconds);
        const glm::mat4 held =
            glm::inverse(placed.jet->getModelMatrix()) * placed.jet->spinner->getModelMatrix();
        const float turn = glm::radians(degrees);
        EXPECT_LT(glm::distance(glm::vec3(held[3]), glm::vec3(0, -10, 0)), 1e-3f) << degrees;
        EXPECT_LT(glm::distance(glm::vec3(held[0]), glm::vec3(cos(turn), 0, -sin(turn))), 1e-4f)
            << degrees;
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
    for (const glm::vec3& expected :
         {glm::vec3(5.0f, 18.0f, 5.0f - 114.59f), {5.0f, 36.0f, 5.0f}}) {
        for (int i = 0; i < 1080; ++i)
            jet.update(1.0f / 60.0f);
        EXPECT_LT(glm::distance(glm::vec3(jet.getModelMatrix()[3]), expected), 0.3f);
    }
}

TEST(GameControls, FilterKeysAnnounceAndSetTheTextureFilters) {
    ZEPHRANE_REQUIRE(ensureGlContext(), "needs an OpenGL context");
    Zephrane game;
    GLuint textures[2];
    glGenTextures(2, textures);
    auto* scenery = new TestCube(glm::mat4(1.0f));
    for (GLuint texture : textures) {
        scenery->addMeshComponent(bounds(glm::vec3(0.0f), 0.0f));
        scenery->getMeshComponents().back()->textureId = texture;
    }
    game.registerObject(scenery);
    auto filtersOf = [](GLuint texture) {
        GLint magnification = 0, minification = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magnification);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minification);
        return std::make_pair(magnification, minification);
    };
    CoutCapture output;
    std::vector<std::pair<GLint, GLint>> filters;
    for (InputAction key : {KeyF5, KeyF5, KeyF5, KeyF4, KeyF5, KeyF5}) {
        game.onAction(key, 0.1f);
        game.onAction(key, 0.1f); // held on: once per second
        filters.push_back(filtersOf(textures[1]));
        game.update(1.0f);
    }
    EXPECT_EQ(filtersOf(textures[0]), filters.back());
    EXPECT_EQ(filters,
              (std::vector<std::pair<GLint, GLint>>{{GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST},
                                                    {GL_LINEAR, GL_LINEAR},
                                                    {GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR},
                                                    {GL_NEAREST, GL_NEAREST_MIPMAP_LINEAR},
                                                    {GL_NEAREST, GL_NEAREST_MIPMAP_NEAREST},
                                                    {GL_NEAREST, GL_NEAREST}}));
    EXPECT_EQ(output.lines(),
              (std::vector<std::string>{"TSQ = bilinear, MM = nn", "TSQ = bilinear, MM = off",
                                        "TSQ = bilinear, MM = linear", "TSQ = nn, MM = linear",
                                        "TSQ = nn, MM = nn", "TSQ = nn, MM = off"}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// What the game reads from each config.js text of tests/data/config-values.txt (its head says
// how the rows are written), or the errors it refuses it with.
TEST(EngineConfig, EachTextReadsAsItsRowSays) {
    for (const auto& [text, expected] : tableRows("config-values.txt", 81)) {
        SCOPED_TRACE(text);
        std::string errors;
        const auto config = parsed<EngineConfig>(text, &errors);
        if (expected.starts_with("refused ") || expected.starts_with("error ")) {
            EXPECT_FALSE(config);
            if (expected.starts_with("error "))
                EXPECT_EQ(errors, expected.substr(6) + "\n");
            else
                EXPECT_NE(errors.find(expected.substr(8)), std::string::npos) << errors;
            continue;
        }
        ASSERT_TRUE(config) << errors;
        std::ostringstream read;
        read << config->width << " " << config->height << " " << config->fullscreen << " "
             << config->refreshRate << " " << config->openglMajor << " " << config->openglMinor
             << " " << config->musicVolume << " " << config->effectsVolume << " "
             << config->renderScale << " " << config->targetFps;
        EXPECT_EQ(read.str(), expected);
    }
    // Nesting deep enough to make the reader throw must still come back as a failure.
    EXPECT_FALSE(parsed<EngineConfig>(std::string(5000, '[') + std::string(5000, ']')));
}

// Every name a driver message can carry, core and AMD (tests/data/debug-output-names.txt).
TEST(DebugOutput, EverySourceTypeAndSeverityIsNamed) {
    for (const auto& [numbers, names] : tableRows("debug-output-names.txt", 15)) {
        std::istringstream in(numbers);
        GLenum source = 0, type = 0, severity = 0;
        in >> std::hex >> source >> type >> severity;
        EXPECT_EQ(formatDebugOutput(source, type, 4294967295u, severity, "m"),
                  "OpenGL Error: m [Source = " + names + ", ID = 4294967295]");
    }
}

// Each option alone answers on standard output with status 0 before any window opens; with a
// second argument, or unknown, it is refused on standard error with the usage, status 2
// (tests/data/command-line.txt).
TEST(CommandLine, EveryOptionAloneAndWithASecondArgument) {
    for (const auto& [arguments, expected] : tableRows("command-line.txt", 8)) {
        SCOPED_TRACE(arguments);
        std::vector<std::string> argv{"/usr/bin/env",    "-u",
                                      "DISPLAY",         "-u",
                                      "WAYLAND_DISPLAY", (binaryDir() / "zephrane").string()};
        std::istringstream words(arguments);
        argv.insert(argv.end(), std::istream_iterator<std::string>(words), {});
        const ProcessResult result = runProcess(argv, sourceDir(), "", 20);
        std::string text = expected.substr(2);
        if (const std::size_t at = text.find("@VERSION@"); at != std::string::npos)
            text.replace(at, 9, ZEPHRANE_TEST_VERSION);
        EXPECT_EQ(result.exitCode, expected[0] - '0');
        EXPECT_TRUE(expected[0] == '0' ? result.out.starts_with(text) : result.out.empty())
            << result.out;
        EXPECT_EQ(result.err,
                  expected[0] == '0' ? "" : text + "usage: zephrane [--help | --version]\n");
    }
}

// The picture's shape inside any window (tests/data/letterbox.txt).
TEST(WindowFit, LetterboxForWiderTallerExactAndEmptyWindows) {
    for (const auto& [window, expected] : tableRows("letterbox.txt", 9)) {
        std::istringstream sizes(window);
        int width = 0, height = 0, aspectWidth = 0, aspectHeight = 0;
        sizes >> width >> height >> aspectWidth >> aspectHeight;
        const Letterbox box = fitLetterbox(width, height, aspectWidth, aspectHeight);
        EXPECT_EQ(std::to_string(box.x) + " " + std::to_string(box.y) + " " +
                      std::to_string(box.width) + " " + std::to_string(box.height),
                  expected)
            << window;
    }
}

// The free camera's keys, and what the projection sees (tests/data/camera.txt).
TEST(Cameras, FreeCameraKeysAndTheProjectionsLimits) {
    const std::map<std::string, InputAction> keys = {
        {"W", KeyW},   {"S", KeyS},       {"A", KeyA},       {"D", KeyD},
        {"UP", KeyUp}, {"DOWN", KeyDown}, {"LEFT", KeyLeft}, {"RIGHT", KeyRight}};
    const glm::mat4 projection = cameraProjection(2.0f);
    const auto rows = tableRows("camera.txt");
    EXPECT_EQ(rows.size(), 16u) << "the table read whole";
    for (const auto& [input, expected] : rows) {
        SCOPED_TRACE(input);
        std::istringstream in(input), out(expected);
        std::string kind, key;
        glm::vec3 position, forward;
        if (in >> kind && kind == "sees") {
            in >> position.x >> position.y >> position.z;
            const glm::vec4 clip = projection * glm::vec4(position, 1.0f);
            EXPECT_EQ(std::fabs(clip.x) <= clip.w && std::fabs(clip.y) <= clip.w &&
                          std::fabs(clip.z) <= clip.w,
                      expected == "yes");
            continue;
        }
        in >> key;
        out >> position.x >> position.y >> position.z >> forward.x >> forward.y >> forward.z;
        Camera camera{glm::mat4(1.0f)};
        CameraComponent eye{glm::mat4(1.0f)};
        camera.setCameraComponent(&eye);
        camera.onAction(keys.at(key), 0.5f);
        const glm::mat4& placed = camera.getModelMatrix();
        // The eye follows one unit behind, world +y up.
        EXPECT_LT(glm::distance(glm::vec3(placed[3]), position), 1e-4f);
        EXPECT_LT(glm::distance(-glm::vec3(placed[2]), forward), 1e-4f);
        EXPECT_LT(glm::distance(glm::vec3(eye.eyeMatrix[3]), position - forward), 1e-4f);
    }
}

// The controller, fed made-up frame times: it steps down while frames overrun the target, comes
// back up when they have room, holds in between, never decides twice within half a second, and
// stays within its floor and 100. Without a target it keeps the configured scale.
TEST(RenderScaleControl, FollowsSlowAndFastFramesWithinItsFloorAndFull) {
    constexpr double target = 1.0 / 60;
    // Feeds frames of `seconds` for `total` seconds of frames; returns the scale after each.
    auto feed = [](RenderScaleControl& control, double seconds, double total) {
        std::vector<int> scales;
        for (double fed = 0; fed < total - 1e-9; fed += seconds) {
            control.frameTook(seconds);
            scales.push_back(control.scale());
        }
        return scales;
    };
    RenderScaleControl fixed(40, 0);
    feed(fixed, 0.1, 5.0);
    EXPECT_EQ(fixed.scale(), 40);
    EXPECT_FALSE(fixed.hasTarget());

    RenderScaleControl control(30, 60);
    EXPECT_EQ(control.scale(), 100);
    // Slow: a quarter of a second changes nothing yet, then it goes down, all the way to the
    // floor and no further, changing at most once per half second of frames.
    const std::vector<int> slow = feed(control, 3 * target, 6.0);
    EXPECT_EQ(slow[int(0.25 / (3 * target))], 100);
    EXPECT_LT(slow[int(0.6 / (3 * target))], 100);
    EXPECT_EQ(slow.back(), 30);
    int changes = 0;
    for (size_t i = 1; i < slow.size(); ++i)
        changes += slow[i] != slow[i - 1];
    EXPECT_LE(changes, int(6.0 / RenderScaleControl::decisionSeconds));
    EXPECT_GE(changes, 2) << "steps, not a jump to the floor and back";
    // Between the raise threshold and the target it holds.
    feed(control, 0.85 * target, 3.0);
    EXPECT_EQ(control.scale(), 30);
    // Fast frames bring it back to 100, not past it, in steps of at most the largest raise.
    const std::vector<int> fast = feed(control, 0.2 * target, 6.0);
    for (size_t i = 1; i < fast.size(); ++i)
        EXPECT_LE(fast[i] - fast[i - 1], RenderScaleControl::largestRaise) << "frame " << i;
    EXPECT_EQ(fast.back(), 100);
    // A little past the target, where a display synchronised to that rate keeps it, it holds.
    feed(control, 1.05 * target, 3.0);
    EXPECT_EQ(control.scale(), 100);
    // A few overruns among many quick frames are no reason to lower it.
    for (int i = 0; i < 60; ++i)
        control.frameTook(i % 20 == 0 ? 2 * target : 0.5 * target);
    EXPECT_EQ(control.scale(), 100);
}
