// The generated run-time data under Resources/ (made by scripts/setup.sh), loaded the way the
// game loads it, and the generator's parts that the files cannot show. The sizes of the models
// decide whether the game can be played at all (collisions use the models' unscaled radii), so
// the flights at the end run the game's own rules over the loaded scene.
#include "game_test_scene.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"

#include <IL/il.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr float frameTime = 1.0f / 60.0f; // seconds
constexpr int viewportWidth = 1600;       // the frame loop's fixed viewport
constexpr int viewportHeight = 800;

fs::path resources() {
    return sourceDir() / "Resources";
}

// Everything here needs the generated files and a GL context; say which is missing.
::testing::AssertionResult ready() {
    if (!fs::is_directory(resources() / "models"))
        return ::testing::AssertionFailure()
               << resources() << " is missing: run scripts/setup.sh (or zephrane-resgen Resources)";
    if (!ensureGlContext())
        return ::testing::AssertionFailure() << "no OpenGL context";
    static bool imagesReady = (ilInit(), true);
    return ::testing::AssertionSuccess() << imagesReady;
}

// The whole scene as the game assembles it, from the generated files.
struct LoadedGame : Zephrane {
    RecordingSound sound;

    LoadedGame() {
        soundEngine = &sound;
        framebufferWidth = viewportWidth;
        framebufferHeight = viewportHeight;
        ScopedWorkingDirectory inRepository(sourceDir());
        CoutCapture quiet;
        assembleScene();
    }
    // Runs frames of the rules with no input; returns the output they wrote.
    std::string fly(float seconds) {
        CoutCapture output;
        for (int frame = 0; frame < static_cast<int>(seconds / frameTime); ++frame)
            update(frameTime);
        return output.buffer.str();
    }
};

MeshComponent* firstComponent(SceneObject* object) {
    return object->getMeshComponents().at(0);
}

glm::vec3 worldCentre(SceneObject* object) {
    return glm::vec3(object->getModelMatrix() * glm::vec4(firstComponent(object)->center, 1.0f));
}

// The barycentric weights of p in the triangle a, b, c; none for a degenerate triangle.
std::optional<glm::vec3> weightsIn(glm::vec2 a, glm::vec2 b, glm::vec2 c, glm::vec2 p) {
    const float area = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (std::abs(area) < 1e-9f)
        return std::nullopt;
    const float wb = ((p.x - a.x) * (c.y - a.y) - (c.x - a.x) * (p.y - a.y)) / area;
    const float wc = ((b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y)) / area;
    return glm::vec3(1.0f - wb - wc, wb, wc);
}

const Vertex& corner(const Mesh& mesh, std::size_t triangle, int k) {
    return mesh.vertices[mesh.indices[triangle * 3 + static_cast<std::size_t>(k)]];
}

// The world height of the terrain mesh's surface above a world position.
std::optional<float> groundAt(SceneObject* terrain, float worldX, float worldZ) {
    const glm::mat4 placement = terrain->getModelMatrix();
    const glm::vec3 local = glm::inverse(placement) * glm::vec4(worldX, 0.0f, worldZ, 1.0f);
    const Mesh& mesh = firstComponent(terrain)->meshes.at(0);
    auto plan = [](const Vertex& v) { return glm::vec2(v.position.x, v.position.z); };
    for (std::size_t t = 0; t < mesh.indices.size() / 3; ++t) {
        const std::optional<glm::vec3> w =
            weightsIn(plan(corner(mesh, t, 0)), plan(corner(mesh, t, 1)), plan(corner(mesh, t, 2)),
                      glm::vec2(local.x, local.z));
        if (w && glm::all(glm::greaterThanEqual(*w, glm::vec3(-1e-5f))))
            return (placement * glm::vec4(local.x,
                                          glm::dot(*w, glm::vec3(corner(mesh, t, 0).position.y,
                                                                 corner(mesh, t, 1).position.y,
                                                                 corner(mesh, t, 2).position.y)),
                                          local.z, 1.0f))
                .y;
    }
    return std::nullopt;
}

} // namespace

// Files

// Every model the game names (tests/data/shipped-models.txt) imports through the game's loader
// as one mesh (so the bounding sphere covers the whole model) with unit normals and texture
// coordinates laid out on the texture, and every texture it brings loads.
TEST(GeneratedResources, EveryModelLoadsWithItsTextures) {
    ASSERT_TRUE(ready());
    const auto models = tableRows("shipped-models.txt");
    EXPECT_EQ(models.size(), 9u) << "the table read whole";
    for (const auto& [path, textures] : models) {
        SCOPED_TRACE(path);
        auto* component = new MeshComponent(); // kept, as the game keeps its models
        {
            ScopedWorkingDirectory inRepository(sourceDir());
            CoutCapture quiet;
            component->load(path);
        }
        ASSERT_EQ(component->meshes.size(), 1u);
        const Mesh& mesh = component->meshes[0];
        ASSERT_FALSE(mesh.indices.empty());
        EXPECT_GT(component->radius, 0.0f);
        glm::vec2 uvLow(1e9f), uvHigh(-1e9f);
        for (const Vertex& vertex : mesh.vertices) {
            ASSERT_NEAR(glm::length(vertex.normal), 1.0f, 1e-3f);
            uvLow = glm::min(uvLow, vertex.texCoords);
            uvHigh = glm::max(uvHigh, vertex.texCoords);
        }
        EXPECT_TRUE(glm::all(glm::greaterThanEqual(uvLow, glm::vec2(0.0f))) &&
                    glm::all(glm::lessThanEqual(uvHigh, glm::vec2(1.0f))));
        EXPECT_GT(uvHigh.x - uvLow.x, 0.5f) << "the layout should use the texture";
        ASSERT_EQ(std::to_string(mesh.textures.size()), textures);
        for (const Texture* texture : mesh.textures)
            EXPECT_NE(texture->id, 0u);
    }
}

// The scenery stands at world height -49 on flat ground.
TEST(GeneratedResources, TerrainCarriesTheSceneryOnFlatGround) {
    ASSERT_TRUE(ready());
    LoadedGame game;
    for (SceneObject* standing : {game.lightmapObject1, game.lightmapObject2, game.lightmapBox1,
                                  game.lightmapBox2, game.lightmapBox3, game.target}) {
        const MeshComponent& model = *firstComponent(standing);
        const glm::mat4 m = standing->getModelMatrix();
        // The four corners of the model's footprint and its middle.
        for (const glm::vec3& corner :
             {model.boundsMin, glm::vec3(model.boundsMax.x, 0, model.boundsMin.z),
              glm::vec3(model.boundsMin.x, 0, model.boundsMax.z), model.boundsMax, model.center}) {
            const glm::vec3 world = glm::vec3(m * glm::vec4(corner.x, 0.0f, corner.z, 1.0f));
            const std::optional<float> ground = groundAt(game.terrain, world.x, world.z);
            ASSERT_TRUE(ground.has_value());
            EXPECT_NEAR(*ground, -49.0f, 1e-3f) << "under " << world.x << "," << world.z;
        }
    }
}

// Generating again gives the same bytes, and the files under test are the ones the current
// generator writes.
TEST(GeneratedResources, GeneratorWritesTheSameBytesEveryRun) {
    ASSERT_TRUE(ready());
    TempDir dir;
    const fs::path generator = binaryDir() / "tools" / "resgen" / "zephrane-resgen";
    const ProcessResult run =
        runProcess({generator.string(), (dir.path() / "Resources").string()}, dir.path(), "", 300);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* folder : {"models", "textures"}) {
        std::size_t compared = 0;
        for (const fs::directory_entry& entry :
             fs::directory_iterator(dir.path() / "Resources" / folder)) {
            const fs::path existing = resources() / folder / entry.path().filename();
            ASSERT_TRUE(fs::exists(existing)) << existing << " is missing: regenerate Resources/";
            EXPECT_EQ(readFile(entry.path()), readFile(existing))
                << entry.path().filename() << " differs: Resources/ is stale or the output varies";
            ++compared;
        }
        EXPECT_GT(compared, 8u);
    }
}

// Playability

// Left alone from the start, the player's jet flies straight on for 20 seconds of game time
// without touching anything, the sky box's walls and the terrain's floor included. Drawn at a
// tenth of its size, the jet is between 1 and 3 world units long.
TEST(Playability, UntouchedJetFliesTwentySecondsWithoutCollision) {
    ASSERT_TRUE(ready());
    LoadedGame game;

    const MeshComponent& jet = *firstComponent(game.player);
    float nose = 1e9f, tail = -1e9f;
    for (const Vertex& vertex : jet.meshes.at(0).vertices) {
        const float z = (jet.localTransform * glm::vec4(vertex.position, 1.0f)).z;
        nose = std::min(nose, z);
        tail = std::max(tail, z);
    }
    const float drawnLength = (tail - nose) * game.player->getModelMatrix()[2][2];
    EXPECT_GE(drawnLength, 1.0f);
    EXPECT_LE(drawnLength, 3.0f);

    const glm::vec3 start = worldCentre(game.player);
    const std::string output = game.fly(20.0f);
    EXPECT_FALSE(game.gameOver) << output;
    EXPECT_EQ(output.find("Collision"), std::string::npos) << output;
    EXPECT_LT(worldCentre(game.player).z, start.z - 130.0f) << "the jet flew on";
}

// The target's first 20 new places (glibc's rand() from its initial state, as the game never
// sets one) lie inside the drawn sky box, above the terrain's floor height and its surface, and
// clear of every building and crate.
TEST(Playability, FirstTwentyTargetPlacesAreInsideAndClear) {
    ASSERT_TRUE(ready());
    LoadedGame game;
    const MeshComponent& sky = *firstComponent(game.skybox);
    const glm::vec3 skyLow =
        glm::vec3(game.skybox->getModelMatrix() * glm::vec4(sky.boundsMin, 1.0f));
    const glm::vec3 skyHigh =
        glm::vec3(game.skybox->getModelMatrix() * glm::vec4(sky.boundsMax, 1.0f));
    const float floorHeight =
        (game.terrain->getModelMatrix() * glm::vec4(firstComponent(game.terrain)->boundsMin, 1.0f))
            .y;
    const float radius = firstComponent(game.target)->radius;

    std::srand(1); // glibc's initial state
    for (int place = 0; place < 20; ++place) {
        {
            CoutCapture quiet;
            game.respawnTarget();
        }
        const glm::vec3 centre = worldCentre(game.target);
        SCOPED_TRACE("place " + std::to_string(place + 1) + " centre " + std::to_string(centre.x) +
                     "," + std::to_string(centre.y) + "," + std::to_string(centre.z));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_LT(skyLow[axis], centre[axis] - radius);
            EXPECT_LT(centre[axis] + radius, skyHigh[axis]);
        }
        EXPECT_GT(centre.y - radius, floorHeight);
        // Not buried in a hill either.
        const std::optional<float> ground = groundAt(game.terrain, centre.x, centre.z);
        ASSERT_TRUE(ground.has_value());
        EXPECT_GT(centre.y - radius, *ground);
        for (SceneObject* scenery : {game.lightmapObject1, game.lightmapObject2, game.lightmapBox1,
                                     game.lightmapBox2, game.lightmapBox3}) {
            EXPECT_GE(glm::distance(centre, worldCentre(scenery)),
                      radius + firstComponent(scenery)->radius);
        }
    }
}
