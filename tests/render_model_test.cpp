// Drawing: what a model's path decides (shader pair, light maps, animation frames), the bounds, the
// node matrices, the frame counter and mesh pictures (lit models are the replays' reference
// pictures); the shader files; the overlay's lines and the texts of the screens.
#include "TestSupport.h"

#include "render/Mesh.h"
#include "render/MeshComponent.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "scene/CameraComponent.h"
#include "scene/CameraView.h"
#include "text/Hud.h"
#include "text/HudText.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <IL/il.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <array>
#include <cmath>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using namespace testing_support;
using Rgb = std::array<int, 3>;

namespace {

// A model file under tests/data/models/: quad.obj is a textured unit quad facing +z; the glTF
// files hold one triangle (0,0,0) (1,0,0) (0,1,0), under the root node itself (rooted) or under two
// of its children, the first with a matrix (placed).
std::string fixture(const std::string& name) {
    return readFile(sourceDir() / "tests" / "data" / "models" / name);
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
        ZEPHRANE_REQUIRE(ensureGlContext(), "needs an OpenGL context");
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

constexpr int canvasWidth = 1600;
constexpr int canvasHeight = 800;
const fs::path systemFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr float sceneDepth = 0.25f;

} // namespace

// Stray point and line records must not shift the triangles that follow them; the second
// object has no normals and sets the bounds.
TEST_F(ModelLoad, TwoObjectsGiveTwoMeshesAndTheBoundsOfTheSecond) {
    MeshComponent component;
    const std::string out = load(component, "Resources/models/pair.obj",
                                 fixture("quad.obj") + "p 4\nl 1 3\nf 1/1/1 3/3/1 4/4/1\n" +
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
    component.updateBounds({{{2, 0, 0}, {}, {}}, {{16777215, 0, 0}, {}, {}}}); // the centre rounds
    EXPECT_EQ(component.radius, 8388606.0f) << "the smaller of the two half diagonals";

    EXPECT_EQ(component.meshes[0].vertices[0].normal, glm::vec3(0, 0, 1));
    for (const Vertex& vertex : component.meshes[1].vertices)
        EXPECT_EQ(vertex.normal, glm::vec3(0.0f)) << "no normals in the file: zero normals";
}

TEST_F(ModelLoad, PathChoosesShaderLightMapsAndAnimationFrames) {
    for (const auto& [path, chosen] : tableRows("model-paths.txt", 8)) {
        std::istringstream words(chosen);
        std::string fragmentFile;
        words >> fragmentFile;
        const std::vector<std::string> textures{std::istream_iterator<std::string>(words), {}};
        SCOPED_TRACE(path);
        MeshComponent component;
        const std::string out = load(component, path, fixture("quad.obj"));
        ASSERT_EQ(component.meshes.size(), 1u);
        EXPECT_EQ(fragmentFileOf(component.meshes[0]), fragmentFile);
        std::vector<Rgb> expected;
        for (const std::string& file : textures)
            expected.push_back(colourOfFile(file));
        EXPECT_EQ(colours(component.meshes[0]), expected);
        const std::size_t lightMaps = textures.back() == "10.png" ? 0 : textures.size() - 1;
        EXPECT_EQ(countOf(out, "--lightmap!\n"), lightMaps);
        EXPECT_EQ(countOf(out, "no of textures of " + path +
                                   " is: " + std::to_string(textures.size()) + "\n"),
                  1u);
        EXPECT_EQ(component.textureId, component.meshes[0].textures.back()->id);
    }
}

TEST_F(ModelLoad, OnlyRootChildrenAreImportedWithTheirMatrixColumnByColumn) {
    MeshComponent rooted, placed;
    EXPECT_EQ(load(rooted, "Resources/models/rooted.gltf", fixture("rooted.gltf")), "");
    EXPECT_TRUE(rooted.meshes.empty());
    load(placed, "Resources/models/placed.gltf", fixture("placed.gltf"));
    // glTF stores its matrix column by column, as GLM does: it must arrive unchanged.
    const float matrix[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 5, 6, 7, 1};
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

// A draw gives every uniform of its mesh's program a value, lit and light-mapped alike: a name
// the program lacks would leave its uniform at the mark set here.
TEST_F(ModelLoad, DrawSetsEveryUniformOfItsProgram) {
    constexpr float mark = 7.0f; // also a texture unit, for the samplers
    for (const char* path : {"Resources/models/anim.obj", "Resources/models/uvbox.obj"}) {
        MeshComponent component;
        load(component, path, fixture("quad.obj"));
        const GLuint program = component.meshes.at(0).shader->program;
        GLint count = 0;
        glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
        glUseProgram(program);
        std::array<float, 16> marks;
        marks.fill(mark);
        std::vector<std::string> names;
        for (GLuint i = 0; i < GLuint(count); ++i) {
            GLchar name[64];
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(program, i, sizeof name, nullptr, &size, &type, name);
            const GLint at = glGetUniformLocation(program, names.emplace_back(name).c_str());
            type == GL_FLOAT_MAT4   ? glUniformMatrix4fv(at, 1, GL_FALSE, marks.data())
            : type == GL_FLOAT_VEC3 ? glUniform3fv(at, 1, marks.data())
            : type == GL_FLOAT      ? glUniform1f(at, mark)
                                    : glUniform1i(at, int(mark));
        }
        component.meshes[0].draw(0.0f);
        for (const std::string& name : names) {
            std::array<float, 16> value{};
            glGetUniformfv(program, glGetUniformLocation(program, name.c_str()), value.data());
            EXPECT_NE(value[0], mark) << path << ": " << name;
        }
    }
}

// The animated model's ten textures, drawn unlit: the frame picks the texture, and past the end
// the last one holds. The light-mapped box multiplies its colour by its light map brightened 1.6
// times, and leaves texture unit 1 active and empty.
TEST_F(ModelLoad, AnimationFramesAndLightMapsDrawTheirTexels) {
    MeshComponent animated, baked;
    load(animated, "Resources/models/single.obj", fixture("quad.obj"));
    load(baked, "Resources/models/uvbox.obj", fixture("quad.obj"));
    ASSERT_TRUE(animated.meshes.size() == 1 && baked.meshes.size() == 1);
    Mesh& frames = animated.meshes[0];
    frames.shader = new ShaderProgram("Shader/texture.vert", "Shader/texture.frag");
    for (const auto& [frame, file] :
         {std::pair{0.4f, "wall.png"}, {1.2f, "2.png"}, {9.6f, "10.png"}, {10.5f, "10.png"}}) {
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

// The pen model: a glyph sits at its bearing from the pen, then the pen moves by the whole pixels
// of its advance, both scaled; a byte without a glyph is skipped where it stands.
TEST(TextLayout, GlyphsFollowThePenAndBytesWithoutAGlyphAreSkipped) {
    const std::map<char, Character> cache{{'A', {7, {10, 12}, {1, 9}, 11 * 64 + 36}},
                                          {'B', {8, {8, 12}, {0, 12}, 640}}};
    const auto quads = layoutText(cache, "A?B", 100.0f, 50.0f, 0.5f);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(std::tuple(quads[0].textureId, quads[0].vertices[0], quads[0].vertices[2]),
              std::tuple(7u, glm::vec4(100.5f, 54.5f, 0, 0), glm::vec4(105.5f, 48.5f, 1, 1)));
    EXPECT_EQ(std::tuple(quads[1].textureId, quads[1].vertices[0], quads[1].vertices[2]),
              std::tuple(8u, glm::vec4(105.5f, 56.0f, 0, 0), glm::vec4(109.5f, 50.0f, 1, 1)));
}

// The performance line, the frames a second and the clock's line (tests/data/hud-lines.txt).
TEST(HudLines, EachFigureAndSwitchAsItsRowSays) {
    const auto rows = tableRows("hud-lines.txt");
    EXPECT_EQ(rows.size(), 18u) << "the table read whole";
    for (const auto& [input, expected] : rows) {
        std::istringstream in(input);
        std::string kind;
        float seconds = 0.0f;
        in >> kind >> seconds;
        PerformanceFigures f{seconds};
        in >> f.wireframe >> f.transparency >> f.bilinearSampling >> f.mipmapMode >>
            f.frustumCulling >> f.componentsDrawn >> f.renderScale >> f.scaleTarget;
        EXPECT_EQ(kind == "line"  ? performanceLine(f)
                  : kind == "fps" ? std::to_string(framesPerSecond(seconds))
                                  : timeLeftLine(seconds),
                  expected)
            << input;
    }
}

namespace {

std::vector<std::string> drawnTexts;

// One line handed to the text renderer: "text @x,y xscale rgb r g b".
void recordText(const std::string& text, float x, float y, float scale, glm::vec3 colour) {
    std::ostringstream line;
    line << text << " @" << x << "," << y << " x" << scale << " rgb " << colour.r << " " << colour.g
         << " " << colour.b;
    drawnTexts.push_back(line.str());
}

std::vector<std::string> textsOf(const std::function<void()>& drawScreen) {
    drawnTexts.clear();
    drawScreen();
    return drawnTexts;
}

glm::vec4 clearColour() {
    glm::vec4 colour;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, glm::value_ptr(colour));
    return colour;
}

class TextScreens : public ModelLoad {}; // the same scratch directory and context

} // namespace

TEST_F(TextScreens, OverlayAndGameOverScreenDrawTheirLines) {
    ASSERT_TRUE(fs::exists(systemFont)) << "the Liberation Sans font is not installed";
    writeFile(dir.path() / "Resources/fonts/arial.ttf", readFile(systemFont));
    ShaderProgram shader("Shader/texture_freetype.vert", "Shader/texture_freetype.frag");
    glViewport(0, 0, canvasWidth, canvasHeight);
    glEnable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(shader.program);
    glUniformMatrix4fv(glGetUniformLocation(shader.program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(glm::ortho(0.0f, float(canvasWidth), 0.0f,
                                                 float(canvasHeight), -1.0f, 1.0f)));
    initTextRenderer();
    ASSERT_EQ(glyphs.size(), 128u);
    // Each glyph's edges are its own: a repeating texture would blend in the opposite edge.
    for (const auto& [code, glyph] : glyphs) {
        GLint wrap[2] = {};
        glBindTexture(GL_TEXTURE_2D, glyph.textureId);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap[0]);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap[1]);
        EXPECT_TRUE(wrap[0] == GL_CLAMP_TO_EDGE && wrap[1] == GL_CLAMP_TO_EDGE) << int(code);
    }

    // Every line of each screen, byte for byte, where it is drawn and in which colour; the help
    // screen's are tests/data/help-screen.txt, one a line.
    textDrawnHook = recordText;
    const std::string ink = " x0.25 rgb 0 0 0.5";
    std::string help;
    for (const std::string& line : textsOf([&] { drawHelpScreen(shader); }))
        help += line + "\n";
    EXPECT_EQ(help, readFile(sourceDir() / "tests/data/help-screen.txt"));
    EXPECT_EQ(clearColour(), glm::vec4(1.0f, 1.0f, 0.9f, 1.0f));
    // With the player's own keys: their lines name the new keys, all else stays; the mute, which
    // has no line by default, gets one.
    {
        std::string error;
        const auto bindings = parsed<KeyBindings>("{\"fire\": \"enter\", \"pitchdown\": [\"I\", "
                                                  "\"UP\"], \"quit\": \"Q\", \"mute\": \"N\"}",
                                                  &error);
        ASSERT_TRUE(bindings) << error;
        std::vector<std::string> rebound = textsOf([&] { drawHelpScreen(shader); });
        rebound[9] = "I / UP - pitch down @100,470" + ink;
        rebound[15] = "ENTER - Shoot rocket @100,350" + ink;
        rebound[16] = "Q - Quit Game @100,330" + ink;
        rebound.push_back("N - Sound off / on @100,230" + ink);
        EXPECT_EQ(textsOf([&] { drawHelpScreen(shader, *bindings); }), rebound);
    }
    const std::vector<std::string> score = {"Points: 3.21 Level: 1 @0.5,5 x0.5 rgb 0.1 1 0.1",
                                            "Time Left: 97 @0.5,30 x0.5 rgb 1 0 0"};
    EXPECT_EQ(textsOf([&] { drawOverlay(shader, false, {}, 3.21f, 1, 97.0f); }), score);
    EXPECT_EQ(textsOf([&] { drawGameOverScreen(shader, 1234.5f); }),
              (std::vector<std::string>{"ZEPHRANE @450,650 x1 rgb 1 1 1",
                                        "GAME OVER! @400,400 x1.5 rgb 1 0 0",
                                        "Final Points: 1234.50 @600,250 x0.75 rgb 1 1 1"}));
    EXPECT_EQ(clearColour(), glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));

    // The overlay over a scene's depth, which it and the game-over screen must leave alone;
    // what the glyphs look like in place is the replays' pictures'.
    PerformanceFigures figures{0.0161f};
    glClearDepth(sceneDepth);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const std::vector<std::string> overlay =
        textsOf([&] { drawOverlay(shader, true, figures, 3.21f, 1, 97.0f); });
    ASSERT_EQ(overlay.size(), 3u);
    EXPECT_EQ(overlay[0], performanceLine(figures) + " @0.5,740 x0.5 rgb 1 0.3 0");
    EXPECT_EQ(std::vector(overlay.begin() + 1, overlay.end()), score);
    textDrawnHook = nullptr;
    drawGameOverScreen(shader, 1234.5f);
    glClearDepth(1.0);
    float depth = 0.0f;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, sceneDepth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_DEPTH_TEST))
        << "drawing text changed the frame loop's state";
}

// The jet drawn by the preview tool with its defaults and as the menu icon is drawn
// (packaging/render-icons.sh), then the sky box, which the preview shows from inside.
TEST(PreviewPicture, TheJetTheMenuIconAndTheSkyBoxLookAsBefore) {
    const TexturePreview preview;
    TempDir dir;
    const std::string shot = (dir.path() / "shot.png").string();
    std::vector<std::string> argv{preview.program.string(),
                                  "Resources/models/Futuristic combat jet.3ds", shot, "--size",
                                  "96x64"};
    for (const std::string name : {"jet", "icon", "sky"}) {
        ASSERT_EQ(runProcess(argv, sourceDir()).exitCode, 0) << name;
        EXPECT_TRUE(looksLikeReference(readPicture(shot), "preview/" + name, 2, 0.01));
        argv.insert(argv.end(), {"--local-transform", "jet", "--yaw", "150", "--pitch", "30",
                                 "--distance", "0.6"});
        argv[1] = name == "jet" ? argv[1] : "Resources/models/skybox3.obj"; // seen from inside
    }
}
