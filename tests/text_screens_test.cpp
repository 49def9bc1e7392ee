// Text: glyph layout and the overlay's lines, then the screens drawn by the real driver into the
// 1600 x 800 canvas, read back and compared with reference pictures in tests/data/text/.
#include "TestSupport.h"

#include "render/ShaderProgram.h"
#include "text/Hud.h"
#include "text/HudText.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include <climits>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A hand-made cache in 1/64-pixel advances, with fractions that the layout must drop. (The
// layout of real glyphs, at the screens' scales, shows in the screens' reference pictures.)
std::map<char, Character> handMadeCache() {
    std::map<char, Character> cache;
    cache['A'] = Character{1, {30, 40}, {2, 40}, 35 * 64 + 63};
    cache[' '] = Character{3, {0, 0}, {0, 0}, 12 * 64 + 32};
    cache['\n'] = Character{4, {4, 4}, {0, 4}, 5 * 64};
    return cache;
}

float left(const GlyphQuad& quad) {
    return quad.vertices[1].x;
}
float bottom(const GlyphQuad& quad) {
    return quad.vertices[1].y;
}

} // namespace

// "é" in UTF-8 is two bytes above 127 (negative as char); 'Z' is simply not cached: neither
// draws nor moves the pen. A space draws an empty quad and moves it; a cached line end is drawn
// in the line (there is no line breaking) and advances like a letter.
TEST(TextLayout, EveryByteIsLookedUpMissingOnesSkippedSpacesEmpty) {
    EXPECT_TRUE(layoutText(handMadeCache(), "", 0.0f, 0.0f, 1.0f).empty());
    auto quads = layoutText(handMadeCache(), "A\xC3\xA9Z A", 0.0f, 50.0f, 1.0f);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[1].textureId, 3u);
    for (const glm::vec4& vertex : quads[1].vertices)
        EXPECT_EQ(glm::vec2(vertex), glm::vec2(35.0f, 50.0f));
    EXPECT_EQ(left(quads[2]), 35.0f + 12.0f + 2.0f);
    quads = layoutText(handMadeCache(), "A\nA", 0.0f, 0.0f, 1.0f);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[1].textureId, 4u);
    EXPECT_EQ(left(quads[2]), 35.0f + 5.0f + 2.0f);
    EXPECT_EQ(bottom(quads[2]), 0.0f);
}

TEST(PerformanceLine, ShowsEachSwitchAndTruncatedFrameFigures) {
    // 1 / 0.0161 s is 62.1 frames per second and 16.1 ms: the example line of the overlay.
    PerformanceFigures defaults;
    defaults.deltaTime = 0.0161f;
    defaults.componentsDrawn = 12;
    PerformanceFigures on = defaults, stalled = defaults, slow = defaults;
    on.wireframe = on.transparency = on.frustumCulling = true;
    on.bilinearSampling = false;
    on.mipmapMode = 1;
    on.componentsDrawn = 0;
    stalled.deltaTime = 0.0f;
    slow.deltaTime = 2.5f;
    EXPECT_EQ(performanceLine(defaults),
              "FPS: 62. ms: 16. Wiref: off. Transp: off. TSQ: bil. MipMap: lin. Cull: off. "
              "Components drawn: 12");
    EXPECT_EQ(performanceLine(on), "FPS: 62. ms: 16. Wiref: on. Transp: on. TSQ: NN. MipMap: NN. "
                                   "Cull: on. Components drawn: 0");
    EXPECT_EQ(performanceLine(stalled).rfind("FPS: 0. ms: 0. ", 0), 0u);
    EXPECT_EQ(performanceLine(slow).rfind("FPS: 0. ms: 2500. ", 0), 0u);
    // The mip-map word follows the mode modulo 3.
    for (const auto& [mode, words] :
         {std::pair{2, "MipMap: off. "}, std::pair{3, "MipMap: lin. "},
          std::pair{5, "MipMap: off. "}, std::pair{-1, "MipMap: off. "}}) {
        on.mipmapMode = mode;
        EXPECT_NE(performanceLine(on).find(words), std::string::npos) << "mode " << mode;
    }
    // 0.001f is slightly above a millisecond: in double precision that is 999.99995 frames per
    // second, which truncates to 999 (single precision would round to 1000).
    EXPECT_EQ(framesPerSecond(0.001f), 999);
    EXPECT_EQ(framesPerSecond(3.0f), 0);
    EXPECT_EQ(framesPerSecond(-0.02f), 0);
    EXPECT_EQ(framesPerSecond(1e-12f), INT_MAX);
}

TEST(ScoreLines, TwoDecimalPointsAndRoundedSecondsThatGoNegative) {
    EXPECT_EQ(pointsLine(3.21f, 1), "Points: 3.21 Level: 1");
    EXPECT_EQ(pointsLine(12.5f, 3), "Points: 12.50 Level: 3");
    EXPECT_EQ(finalPointsLine(0.0f), "Final Points: 0.00");
    EXPECT_EQ(finalPointsLine(1234.5f), "Final Points: 1234.50");
    EXPECT_EQ(timeLeftLine(97.0f), "Time Left: 97");
    EXPECT_EQ(timeLeftLine(86.6f), "Time Left: 87");
    EXPECT_EQ(timeLeftLine(0.2f), "Time Left: 0");
    // Under cheat mode the clock runs past zero: first minus zero, then negative seconds.
    EXPECT_EQ(timeLeftLine(-0.3f), "Time Left: -0");
    EXPECT_EQ(timeLeftLine(-1.7f), "Time Left: -2");
}

namespace {

constexpr int canvasWidth = 1600;
constexpr int canvasHeight = 800;
const fs::path systemFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr float sceneDepth = 0.25f;

// Fills colour, and depth as a drawn scene would leave it (the screens must not clear it).
void clearTo(glm::vec3 colour) {
    glClearColor(colour.r, colour.g, colour.b, 1.0f);
    glClearDepth(sceneDepth);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
}

// The canvas read back, top row first, against its full-size reference: at most 25 pixels may
// differ, so a missing, moved or recoloured line, or a damaged glyph, shows.
::testing::AssertionResult looksLikeReference(const std::string& name) {
    RgbPicture canvas{canvasWidth, canvasHeight,
                      std::vector<unsigned char>(3u * canvasWidth * canvasHeight)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int y = 0; y < canvasHeight; ++y)
        glReadPixels(0, canvasHeight - 1 - y, canvasWidth, 1, GL_RGB, GL_UNSIGNED_BYTE,
                     &canvas.rgb[std::size_t(y) * canvasWidth * 3]);
    return looksLikeReference(canvas, "text/" + name, 1, 25.0 / (canvasWidth * canvasHeight));
}

} // namespace

// The frame loop's text set-up in a scratch game directory, then the overlay (with the F2 line
// and without) over a scene, and the game-over screen, which blanks the scene but not its depth.
TEST(TextScreens, OverlayAndGameOverScreenDrawTheirLines) {
    if (!ensureGlContext())
        GTEST_SKIP() << "no display for an OpenGL context";
    ASSERT_TRUE(fs::exists(systemFont)) << "the Liberation Sans font is not installed";
    TempDir dir;
    fs::create_directories(dir.path() / "Resources/fonts");
    fs::copy_file(systemFont, dir.path() / "Resources/fonts/arial.ttf");
    fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
    ScopedWorkingDirectory inDir(dir.path());
    ShaderProgram shader("Shader/texture_freetype.vert", "Shader/texture_freetype.frag");
    glViewport(0, 0, canvasWidth, canvasHeight);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(shader.program);
    const glm::mat4 projection =
        glm::ortho(0.0f, float(canvasWidth), 0.0f, float(canvasHeight), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(shader.program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(projection));
    initTextRenderer();
    ASSERT_EQ(glyphs.size(), 128u);

    PerformanceFigures figures;
    figures.deltaTime = 0.0161f;
    figures.componentsDrawn = 12;
    for (bool performanceOutput : {true, false}) {
        clearTo(glm::vec3(0.05f, 0.1f, 0.3f));
        drawOverlay(shader, performanceOutput, figures, 3.21f, 1, 97.0f);
        EXPECT_TRUE(looksLikeReference(performanceOutput ? "overlay" : "overlay-without-f2"));
    }
    drawGameOverScreen(shader, 1234.5f);
    EXPECT_TRUE(looksLikeReference("game-over"));
    float depth = 0.0f;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_FLOAT_EQ(depth, sceneDepth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_DEPTH_TEST))
        << "drawing text changed the frame loop's state";
}
