// Model loading and mesh drawing: what the model's path decides (shader pair, light maps,
// animation frames), the bounds, the node matrices, the frame counter, pictures drawn by the
// real driver (lit models are the replays' reference pictures), and the shader files.
#include "TestSupport.h"

#include "render/Mesh.h"
#include "render/MeshComponent.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <cmath>
#include <optional>

namespace fs = std::filesystem;
using namespace testing_support;
using Rgb = std::array<int, 3>;

namespace {

const char* const quadObj = R"(mtllib shared.mtl
o first
v -1 -1 0
v 1 -1 0
v 1 1 0
v -1 1 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 1
usemtl wall
f 1/1/1 2/2/1 3/3/1 4/4/1
)";

// glTF with one triangle, used by one or more nodes; a single scene node becomes the root.
std::string gltf(const std::string& nodes, const std::string& sceneNodes) {
    // Three float positions (0,0,0) (1,0,0) (0,1,0), then indices 0 1 2 and padding, base64.
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":)" + sceneNodes +
           R"(}],"nodes":)" + nodes +
           R"(,"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],
  "buffers":[{"byteLength":44,"uri":"data:application/octet-stream;base64,)"
           R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA="}],
  "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},
                 {"buffer":0,"byteOffset":36,"byteLength":6}],
  "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",
                "min":[0,0,0],"max":[1,1,0]},
               {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]})";
}

// Every texture file gets its own colour, so a texture tells which file it came from.
const std::vector<std::string> textureFiles = {
    "wall.png", "lagerlm.png", "lightm.png", "boxBake.png", "terrainlm2.png", "2.png", "3.png",
    "4.png",    "5.png",       "6.png",      "7.png",       "8.png",          "9.png", "10.png"};

Rgb colourOfFile(const std::string& file) {
    const int i =
        int(std::find(textureFiles.begin(), textureFiles.end(), file) - textureFiles.begin());
    return {15 * i, 250 - 15 * i, 100};
}

std::vector<Rgb> colours(const Mesh& mesh) {
    std::vector<Rgb> result;
    for (const Texture* texture : mesh.textures) {
        unsigned char texels[4 * 2 * 2] = {};
        glBindTexture(GL_TEXTURE_2D, texture->id);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
        result.push_back({texels[0], texels[1], texels[2]});
    }
    return result;
}

std::string fragmentFileOf(const Mesh& mesh) {
    GLint length = 0;
    glGetShaderiv(mesh.shader->fragmentShader, GL_SHADER_SOURCE_LENGTH, &length);
    std::string source(static_cast<std::size_t>(length), '\0');
    glGetShaderSource(mesh.shader->fragmentShader, length, nullptr, source.data());
    source.resize(source.find('\0'));
    for (const char* file : {"texture.frag", "texture_l.frag", "texture_usual.frag"})
        if (readFile(sourceDir() / "Shader" / file) == source)
            return file;
    return "unknown";
}

constexpr int canvasSize = 64;

// A scratch game directory with the texture files, and a 64 x 64 corner of the window to draw in.
class ModelLoad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ilInit();
        fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
        cwd.emplace(dir.path());
        for (const std::string& file : textureFiles) { // 2 x 2 texels of the file's colour
            std::vector<unsigned char> texels;
            for (int i = 0; i < 4; ++i)
                for (int channel : colourOfFile(file))
                    texels.push_back(static_cast<unsigned char>(channel));
            ASSERT_TRUE(writePng("Resources/textures/" + file, 2, 2, texels));
        }
        glViewport(0, 0, canvasSize, canvasSize);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        activeCameraView = &view;
    }
    void TearDown() override { activeCameraView = nullptr; }

    // Writes the model beside its material file and loads it; returns what loading printed.
    static std::string load(MeshComponent& component, const std::string& path,
                            const std::string& content) {
        writeFile(path, content);
        writeFile(fs::path(path).parent_path() / "shared.mtl", "newmtl wall\nmap_Kd wall.png\n");
        ::testing::internal::CaptureStdout();
        component.load(path);
        return ::testing::internal::GetCapturedStdout();
    }

    static Rgb centrePixel() {
        unsigned char pixel[4] = {};
        glReadPixels(canvasSize / 2, canvasSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return {pixel[0], pixel[1], pixel[2]};
    }

    TempDir dir;
    std::optional<ScopedWorkingDirectory> cwd;
    CameraComponent camera{glm::mat4(1.0f)};
    CameraView view{glm::mat4(1.0f), &camera};
};

} // namespace

// Stray point and line records must not shift the triangles that follow them; the second
// object has no normals and sets the bounds.
TEST_F(ModelLoad, TwoObjectsGiveTwoMeshesAndTheBoundsOfTheSecond) {
    MeshComponent component;
    const std::string out = load(component, "Resources/models/pair.obj",
                                 std::string(quadObj) + "p 4\nl 1 3\nf 1/1/1 3/3/1 4/4/1\n" +
                                     "o second\nv 2 3 4\nv 4 7 10\nv 3 5 6\nf 5/1 6/2 7/3\n");
    EXPECT_EQ(component.path, "Resources/models/pair.obj");
    ASSERT_EQ(component.meshes.size(), 2u);
    EXPECT_EQ(countOf(out, "no of textures of Resources/models/pair.obj is: 1\n"), 2u);
    std::vector<glm::vec3> triangles;
    for (GLuint index : component.meshes[0].indices)
        triangles.push_back(component.meshes[0].vertices.at(index).position);
    const glm::vec3 a(-1, -1, 0), b(1, -1, 0), c(1, 1, 0), d(-1, 1, 0);
    EXPECT_EQ(triangles, (std::vector<glm::vec3>{a, b, c, a, c, d, a, c, d}));

    EXPECT_EQ(component.boundsMin, glm::vec3(2, 3, 4));
    EXPECT_EQ(component.boundsMax, glm::vec3(4, 7, 10));
    EXPECT_EQ(component.center, glm::vec3(3, 5, 7));
    EXPECT_NEAR(component.radius, std::sqrt(14.0f), 1e-5f);
    component.updateBounds({});
    EXPECT_EQ(component.boundsMax, glm::vec3(4, 7, 10)) << "no vertices: bounds stay";

    EXPECT_EQ(component.meshes[0].vertices[0].normal, glm::vec3(0, 0, 1));
    for (const Vertex& vertex : component.meshes[1].vertices)
        EXPECT_EQ(vertex.normal, glm::vec3(0.0f)) << "no normals in the file: zero normals";
}

TEST_F(ModelLoad, PathChoosesShaderLightMapsAndAnimationFrames) {
    const std::vector<std::string> frames = {"wall.png", "2.png", "3.png", "4.png", "5.png",
                                             "6.png",    "7.png", "8.png", "9.png", "10.png"};
    const struct {
        const char* path;
        const char* fragmentFile;
        std::vector<std::string> textures;
    } cases[] = {
        // The first matching shader row wins; the light-map tests are independent.
        {"Resources/models/skybox_terrain.obj", "texture.frag", {"wall.png", "terrainlm2.png"}},
        {"Resources/models/SSD+uvbox.obj",
         "texture_l.frag",
         {"wall.png", "lightm.png", "boxBake.png"}},
        {"Resources/models/finallightmapBaked.obj", "texture_l.frag", {"wall.png", "lagerlm.png"}},
        {"Resources/models/uvbox.obj", "texture_l.frag", {"wall.png", "boxBake.png"}},
        // Matching is case-sensitive.
        {"Resources/models/SkyBox_Terrain_ssd_UVBOX.obj", "texture_usual.frag", {"wall.png"}},
        {"Resources/models/anim.obj", "texture_usual.frag", {"wall.png"}},
        // Animated models add the nine frames after their own texture.
        {"Resources/models/single.obj", "texture_usual.frag", frames},
        {"Resources/models/video.obj", "texture_usual.frag", frames},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        MeshComponent component;
        const std::string out = load(component, c.path, quadObj);
        ASSERT_EQ(component.meshes.size(), 1u);
        EXPECT_EQ(fragmentFileOf(component.meshes[0]), c.fragmentFile);
        std::vector<Rgb> expected;
        for (const std::string& file : c.textures)
            expected.push_back(colourOfFile(file));
        EXPECT_EQ(colours(component.meshes[0]), expected);
        const std::size_t lightMaps = c.textures == frames ? 0 : c.textures.size() - 1;
        EXPECT_EQ(countOf(out, "--lightmap!\n"), lightMaps);
        EXPECT_EQ(countOf(out, "no of textures of " + std::string(c.path) +
                                   " is: " + std::to_string(c.textures.size()) + "\n"),
                  1u);
        EXPECT_EQ(component.textureId, component.meshes[0].textures.back()->id);
    }
}

TEST_F(ModelLoad, OnlyRootChildrenAreImportedWithTheirMatrixColumnByColumn) {
    MeshComponent rooted;
    EXPECT_EQ(load(rooted, "Resources/models/rooted.gltf", gltf(R"([{"mesh":0}])", "[0]")), "");
    EXPECT_TRUE(rooted.meshes.empty());

    // glTF stores its matrix column by column, as GLM does: it must arrive unchanged.
    const float matrix[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 5, 6, 7, 1};
    std::string matrixJson;
    for (float value : matrix)
        matrixJson += (matrixJson.empty() ? "" : ",") + std::to_string(value);
    MeshComponent placed;
    load(placed, "Resources/models/placed.gltf",
         gltf(R"([{"mesh":0,"matrix":[)" + matrixJson + R"(]},{"mesh":0}])", "[0,1]"));
    ASSERT_EQ(placed.meshes.size(), 2u);
    EXPECT_EQ(placed.meshes[0].nodeTransform, glm::make_mat4(matrix));
    EXPECT_EQ(placed.meshes[1].nodeTransform, glm::mat4(1.0f));
    EXPECT_EQ(placed.boundsMax, glm::vec3(1, 1, 0)) << "bounds ignore the node matrix";
}

// No OpenGL needed: meshes without indices upload and draw nothing.
TEST(MeshComponentDraw, CounterAdvancesPerMeshAndWrapsEveryTwentySixDraws) {
    MeshComponent component;
    component.meshes.push_back(Mesh(nullptr, {Vertex{}}, {}, {}));
    EXPECT_EQ(component.meshes[0].vao, 0u);
    component.modelMatrix = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
    for (int draw = 1; draw <= 25; ++draw) {
        component.draw();
        EXPECT_GT(component.textureFrame, 0.0f) << "draw " << draw;
    }
    EXPECT_NEAR(component.textureFrame, 10.0f, 1e-5f);
    EXPECT_LT(component.textureFrame, 10.0f);
    component.draw();
    EXPECT_EQ(component.textureFrame, 0.0f);
    EXPECT_EQ(component.meshes[0].modelMatrix, component.modelMatrix) << "copied in before draw";

    component.meshes.push_back(component.meshes[0]);
    component.draw();
    EXPECT_NEAR(component.textureFrame, 0.8f, 1e-6f) << "two meshes, two steps";
}

// The animated model's ten textures, drawn unlit: the frame picks the texture, and past the end
// the last one holds. The light-mapped box multiplies its colour by its light map brightened 1.6
// times, and leaves texture unit 1 active and empty.
TEST_F(ModelLoad, AnimationFramesAndLightMapsDrawTheirTexels) {
    MeshComponent animated, baked;
    load(animated, "Resources/models/single.obj", quadObj);
    load(baked, "Resources/models/uvbox.obj", quadObj);
    ASSERT_TRUE(animated.meshes.size() == 1 && baked.meshes.size() == 1);
    Mesh& frames = animated.meshes[0];
    frames.shader = new ShaderProgram("Shader/texture.vert", "Shader/texture.frag");
    for (const auto& [frame, file] :
         {std::pair{0.4f, "wall.png"}, {1.2f, "2.png"}, {9.6f, "10.png"}, {12.5f, "10.png"}}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        frames.draw(frame);
        EXPECT_EQ(centrePixel(), colourOfFile(file)) << "frame " << frame;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    baked.meshes[0].draw(0.0f);
    const Rgb colour = colourOfFile("wall.png"), light = colourOfFile("boxBake.png");
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(centrePixel()[c], std::min(255.0f, colour[c] * light[c] / 255.0f * 1.6f), 2);
    GLint unit = 0, onUnitOne = -1, onUnitZero = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &onUnitOne);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &onUnitZero);
    EXPECT_EQ(unit, GL_TEXTURE1);
    EXPECT_EQ(onUnitOne, 0);
    EXPECT_EQ(onUnitZero, static_cast<GLint>(baked.meshes[0].textures[0]->id));
}

// What each pair draws is checked above and by the text pictures; here the files pass the
// reference compiler, so they compile on drivers stricter than this one.
TEST(GameShaders, EveryFilePassesTheReferenceCompiler) {
    const fs::path validator = "/usr/bin/glslangValidator";
    ZEPHRANE_REQUIRE(fs::exists(validator), "glslangValidator is not installed (glslang-tools)");
    for (const fs::directory_entry& file : fs::directory_iterator(sourceDir() / "Shader")) {
        const ProcessResult result =
            runProcess({validator.string(), file.path().string()}, sourceDir());
        EXPECT_EQ(result.exitCode, 0) << file.path() << "\n" << result.out << result.err;
    }
}
