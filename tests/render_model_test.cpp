// Model loading and mesh drawing: what the model's path decides (shader pair, light maps,
// animation frames), the bounds, the node matrices, the frame counter, and pictures drawn by
// the real driver.
#include "TestSupport.h"

#include "render/Mesh.h"
#include "render/MeshComponent.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "scene/SceneLight.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testing_support;
using Rgb = std::array<int, 3>;

namespace {

// Fixture files

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
// A second object without normals.
const char* const secondObject = R"(o second
v 2 3 4
v 4 7 10
v 3 5 6
f 5/1 6/2 7/3
)";
const char* const sharedMtl = "newmtl wall\nmap_Kd wall.png\n";

// glTF with one triangle, used by one or more nodes (node JSON given); a single scene node
// becomes the root itself.
std::string gltf(const std::string& nodes, const std::string& sceneNodes) {
    // Three float positions (0,0,0) (1,0,0) (0,1,0), then indices 0 1 2 and padding, base64.
    const std::string buffer = "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAAABAAIAAAA=";
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":)" + sceneNodes +
           R"(}],"nodes":)" + nodes +
           R"(,"meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],
  "buffers":[{"byteLength":44,"uri":"data:application/octet-stream;base64,)" +
           buffer + R"("}],
  "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},
                 {"buffer":0,"byteOffset":36,"byteLength":6}],
  "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3",
                "min":[0,0,0],"max":[1,1,0]},
               {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}]})";
}

// Every texture file gets its own colour, so a texture name tells which file it came from.
const std::vector<std::string> textureFiles = {
    "wall.png", "lagerlm.png", "lightm.png", "boxBake.png", "terrainlm2.png", "2.png", "3.png",
    "4.png",    "5.png",       "6.png",      "7.png",       "8.png",          "9.png", "10.png"};

Rgb colourOfFile(const std::string& file) {
    for (std::size_t i = 0; i < textureFiles.size(); ++i)
        if (textureFiles[i] == file)
            return {static_cast<int>(15 * i), static_cast<int>(250 - 15 * i), 100};
    return {-1, -1, -1};
}

// The colours of a mesh's textures, in order, and those of the named files.
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

class ModelLoad : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ilInit();
        fs::create_directories(dir.path() / "Resources/textures");
        fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
        cwd.emplace(dir.path());
        for (const std::string& file : textureFiles) { // 2 x 2 texels of the file's colour
            std::vector<unsigned char> texels;
            for (int i = 0; i < 4; ++i)
                for (int channel : colourOfFile(file))
                    texels.push_back(static_cast<unsigned char>(channel));
            ASSERT_TRUE(writePng("Resources/textures/" + file, 2, 2, texels));
        }
    }

    static void writeModel(const std::string& path, const std::string& content) {
        writeFile(path, content);
        writeFile(fs::path(path).parent_path() / "shared.mtl", sharedMtl);
    }

    // Loads and returns what the component wrote to standard output.
    static std::string load(MeshComponent& component, const std::string& path) {
        ::testing::internal::CaptureStdout();
        component.load(path);
        return ::testing::internal::GetCapturedStdout();
    }

    TempDir dir;
    std::optional<ScopedWorkingDirectory> cwd;
};

} // namespace

// Loading

TEST_F(ModelLoad, TwoObjectsGiveTwoMeshesAndTheBoundsOfTheSecond) {
    writeModel("Resources/models/pair.obj", std::string(quadObj) + secondObject);
    MeshComponent component;
    const std::string out = load(component, "Resources/models/pair.obj");
    EXPECT_EQ(component.path, "Resources/models/pair.obj");
    ASSERT_EQ(component.meshes.size(), 2u);
    EXPECT_EQ(component.meshes[0].indices.size(), 6u) << "the quad is split into triangles";
    EXPECT_EQ(countOf(out, "no of textures of Resources/models/pair.obj is: 1\n"), 2u);

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

// A stray point or line record must not shift the triangles that follow it in the index
// buffer: the mixed file draws exactly the triangles of the clean one.
TEST_F(ModelLoad, PointAndLineFacesAreLeftOutOfTheTriangles) {
    const std::string corners = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    writeModel("Resources/models/clean.obj", corners + "f 1 2 3\nf 1 3 4\n");
    writeModel("Resources/models/mixed.obj", corners + "f 1 2 3\np 4\nl 1 3\nf 1 3 4\nl 2 4\n");
    auto trianglePositions = [](const std::string& path) {
        MeshComponent component;
        load(component, path);
        std::vector<glm::vec3> positions;
        for (const Mesh& mesh : component.meshes)
            for (GLuint index : mesh.indices)
                positions.push_back(mesh.vertices.at(index).position);
        return positions;
    };
    const std::vector<glm::vec3> clean = trianglePositions("Resources/models/clean.obj");
    ASSERT_EQ(clean.size(), 6u);
    EXPECT_EQ(trianglePositions("Resources/models/mixed.obj"), clean);
}

TEST_F(ModelLoad, PathChoosesShaderLightMapsAndAnimationFrames) {
    const std::vector<std::string> frames = {"wall.png", "2.png", "3.png", "4.png", "5.png",
                                             "6.png",    "7.png", "8.png", "9.png", "10.png"};
    struct Case {
        const char* path;
        const char* fragmentFile;
        std::vector<std::string> textures;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        writeModel(c.path, quadObj);
        MeshComponent component;
        const std::string out = load(component, c.path);
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
    writeFile("Resources/models/rooted.gltf", gltf(R"([{"mesh":0}])", "[0]"));
    MeshComponent rooted;
    const std::string out = load(rooted, "Resources/models/rooted.gltf");
    EXPECT_TRUE(rooted.meshes.empty());
    EXPECT_EQ(out.find("no of textures"), std::string::npos);

    // glTF stores its matrix column by column, as GLM does: it must arrive unchanged.
    const float matrix[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 5, 6, 7, 1};
    std::string matrixJson;
    for (float value : matrix)
        matrixJson += (matrixJson.empty() ? "" : ",") + std::to_string(value);
    writeFile("Resources/models/placed.gltf",
              gltf(R"([{"mesh":0,"matrix":[)" + matrixJson + R"(]},{"mesh":0}])", "[0,1]"));
    MeshComponent placed;
    load(placed, "Resources/models/placed.gltf");
    ASSERT_EQ(placed.meshes.size(), 2u);
    EXPECT_EQ(placed.meshes[0].nodeTransform, glm::make_mat4(matrix));
    EXPECT_EQ(placed.meshes[1].nodeTransform, glm::mat4(1.0f));
    EXPECT_EQ(placed.boundsMax, glm::vec3(1, 1, 0)) << "bounds ignore the node matrix";
}

// The frame counter (no OpenGL needed: meshes without indices upload and draw nothing)

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

// Pictures

namespace {

constexpr int canvasSize = 64;

// Draws into an off-screen colour and depth buffer, so results do not depend on the window.
class MeshPicture : public ModelLoad {
protected:
    void SetUp() override {
        ModelLoad::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        for (const auto& [format, attachment] :
             {std::pair{GL_RGBA8, GL_COLOR_ATTACHMENT0},
              std::pair{GL_DEPTH_COMPONENT24, GL_DEPTH_ATTACHMENT}}) {
            GLuint buffer = 0;
            glGenRenderbuffers(1, &buffer);
            glBindRenderbuffer(GL_RENDERBUFFER, buffer);
            glRenderbufferStorage(GL_RENDERBUFFER, format, canvasSize, canvasSize);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, buffer);
        }
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GL_FRAMEBUFFER_COMPLETE);
        glViewport(0, 0, canvasSize, canvasSize);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        view.camera = &camera;
        activeCameraView = &view;
    }

    void TearDown() override {
        activeCameraView = nullptr;
        if (glWindow() == nullptr)
            return;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDisable(GL_DEPTH_TEST);
    }

    static Texture* solidTexture(Rgb rgb) {
        const std::array<unsigned char, 3> texel{static_cast<unsigned char>(rgb[0]),
                                                 static_cast<unsigned char>(rgb[1]),
                                                 static_cast<unsigned char>(rgb[2])};
        auto* texture = new Texture();
        glGenTextures(1, &texture->id);
        glBindTexture(GL_TEXTURE_2D, texture->id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        return texture;
    }

    // A quad covering the whole canvas when every matrix is the identity.
    static Mesh screenQuad(ShaderProgram* shader, std::vector<Texture*> textures) {
        std::vector<Vertex> corners = {{{-1, -1, 0}, {0, 0, 1}, {0, 0}},
                                       {{1, -1, 0}, {0, 0, 1}, {1, 0}},
                                       {{1, 1, 0}, {0, 0, 1}, {1, 1}},
                                       {{-1, 1, 0}, {0, 0, 1}, {0, 1}}};
        return Mesh(shader, corners, {0, 1, 2, 0, 2, 3}, std::move(textures));
    }

    static Rgb centrePixel() {
        unsigned char pixel[4] = {};
        glReadPixels(canvasSize / 2, canvasSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return {pixel[0], pixel[1], pixel[2]};
    }

    static GLint integer(GLenum name) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }

    GLuint framebuffer = 0;
    CameraComponent camera{glm::mat4(1.0f)};
    CameraView view;
};

} // namespace

TEST_F(MeshPicture, AnimationPicksTheFrameAndHoldsTheLastPastTheEnd) {
    auto* sky = new ShaderProgram("Shader/texture.vert", "Shader/texture.frag");
    Mesh mesh = screenQuad(
        sky, {solidTexture({255, 0, 0}), solidTexture({0, 255, 0}), solidTexture({0, 0, 255})});
    const std::pair<float, Rgb> expected[] = {
        {0.4f, {255, 0, 0}}, {1.2f, {0, 255, 0}}, {2.8f, {0, 0, 255}}, {9.6f, {0, 0, 255}}};
    for (const auto& [frame, colour] : expected) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        mesh.draw(frame);
        EXPECT_EQ(centrePixel(), colour) << "frame " << frame;
    }
}

// The light map scales the colour texel by texel: half the light, half the colour.
TEST_F(MeshPicture, LightMapMultipliesOnUnitOneWhichIsLeftEmpty) {
    auto* baked = new ShaderProgram("Shader/texture_l.vert", "Shader/texture_l.frag");
    Texture* colour = solidTexture({200, 200, 200});
    screenQuad(baked, {colour, solidTexture({60, 60, 60})}).draw(0.0f);
    const Rgb dim = centrePixel();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Mesh mesh = screenQuad(baked, {colour, solidTexture({120, 120, 120})});
    mesh.draw(0.0f);
    const Rgb pixel = centrePixel();
    EXPECT_GT(dim[0], 0);
    EXPECT_NEAR(pixel[0], 2 * dim[0], 3) << "colour times light map";
    EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), 0);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(colour->id));
}

TEST_F(MeshPicture, LitModelUnderTheRedSceneLightKeepsItsOwnColours) {
    writeModel("Resources/models/anim.obj", quadObj);
    MeshComponent component;
    load(component, "Resources/models/anim.obj");
    ASSERT_EQ(component.meshes.size(), 1u);
    // The game's light and an eye a few units in front of the quad.
    sceneLight.position = glm::vec3(0, -40, 0);
    sceneLight.color = glm::vec3(1, 0, 0);
    view.worldTransform = glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 1.5f));
    camera.view = glm::lookAt(glm::vec3(0, 0, 1.5f), glm::vec3(0), glm::vec3(0, 1, 0));
    camera.projection = cameraProjection(1.0f);

    Mesh empty(component.meshes[0].shader, {}, {}, {});
    ::testing::internal::CaptureStdout();
    component.draw();
    empty.draw(0.0f);
    glFinish();
    const std::string driverOutput = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(driverOutput.find("Type = Error"), std::string::npos) << driverOutput;

    std::vector<unsigned char> pixels(4 * canvasSize * canvasSize);
    glReadPixels(0, 0, canvasSize, canvasSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int covered = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        covered += pixels[i] + pixels[i + 1] + pixels[i + 2] > 0;
    EXPECT_GT(covered, canvasSize * canvasSize / 4) << "the quad fills much of the view";

    // wall.png is (0, 250, 100): the red light must not drown its green.
    const Rgb pixel = centrePixel();
    EXPECT_GT(pixel[1], 100);
    EXPECT_GT(pixel[1], pixel[0]);
}
