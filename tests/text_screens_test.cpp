#include "TestSupport.h"

#include "render/ShaderProgram.h"
#include "text/Hud.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr int canvasWidth = 1600;
constexpr int canvasHeight = 800;
const fs::path systemFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

// ---- Reading the canvas back -------------------------------------------------------------------

struct Canvas {
    std::vector<unsigned char> rgb;
    glm::ivec3 at(int x, int y) const {
        const size_t i = 3 * (static_cast<size_t>(y) * canvasWidth + static_cast<size_t>(x));
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

Canvas readCanvas() {
    Canvas canvas;
    canvas.rgb.resize(3u * canvasWidth * canvasHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, canvasWidth, canvasHeight, GL_RGB, GL_UNSIGNED_BYTE, canvas.rgb.data());
    return canvas;
}

glm::ivec3 toBytes(glm::vec3 colour) {
    return glm::ivec3(glm::round(colour * 255.0f));
}

int largestDifference(glm::ivec3 a, glm::ivec3 b) {
    const glm::ivec3 d = glm::abs(a - b);
    return std::max({d.x, d.y, d.z});
}

// ---- Where each text item may leave ink --------------------------------------------------------

struct TextItem {
    std::string text;
    float x, y, scale;
    glm::vec3 colour;
};

struct Box {
    int x0 = INT_MAX, y0 = INT_MAX, x1 = INT_MIN, y1 = INT_MIN; // inclusive pixels
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
    void add(int x, int y) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
};

constexpr int filterMargin = 2; // pixels that linear filtering may smear beyond a quad
constexpr int noise = 8;        // byte difference that still counts as background
constexpr int blendTolerance = 8;

Box expectedBox(const TextItem& item) {
    Box box;
    for (const GlyphQuad& quad : layoutText(glyphs, item.text, item.x, item.y, item.scale)) {
        const glm::vec4 topLeft = quad.vertices[0];
        const glm::vec4 bottomRight = quad.vertices[2];
        if (bottomRight.x <= topLeft.x || topLeft.y <= bottomRight.y)
            continue; // an empty bitmap leaves no ink
        box.add(static_cast<int>(std::floor(topLeft.x)) - filterMargin,
                static_cast<int>(std::floor(bottomRight.y)) - filterMargin);
        // The last pixel column and row that the quad covers lie just inside its far edges.
        box.add(static_cast<int>(std::ceil(bottomRight.x)) - 1 + filterMargin,
                static_cast<int>(std::ceil(topLeft.y)) - 1 + filterMargin);
    }
    return box;
}

// Whether a pixel is `ink` blended over `paper` at some coverage, and how much.
bool blendOf(glm::ivec3 pixel, glm::ivec3 paper, glm::ivec3 ink, float& coverage) {
    const glm::vec3 towards = glm::vec3(ink - paper);
    const glm::vec3 offset = glm::vec3(pixel - paper);
    coverage = glm::clamp(glm::dot(offset, towards) / glm::dot(towards, towards), 0.0f, 1.0f);
    const glm::vec3 blended = glm::vec3(paper) + coverage * towards;
    return largestDifference(glm::ivec3(glm::round(blended)), pixel) <= blendTolerance;
}

// Every pixel is either the background or one item's colour blended over it inside that item's
// box; every item leaves solid ink that spans its whole box.
void expectScreen(const Canvas& canvas, glm::vec3 background, const std::vector<TextItem>& items) {
    const glm::ivec3 paper = toBytes(background);
    std::vector<Box> boxes, ink(items.size());
    std::vector<int> solid(items.size(), 0);
    for (const TextItem& item : items)
        boxes.push_back(expectedBox(item));

    int stray = 0;
    std::ostringstream firstStray;
    for (int y = 0; y < canvasHeight; ++y) {
        for (int x = 0; x < canvasWidth; ++x) {
            const glm::ivec3 pixel = canvas.at(x, y);
            if (largestDifference(pixel, paper) <= noise)
                continue;
            bool explained = false;
            for (size_t i = 0; i < items.size(); ++i) {
                float coverage = 0.0f;
                if (!boxes[i].contains(x, y) ||
                    !blendOf(pixel, paper, toBytes(items[i].colour), coverage))
                    continue;
                explained = true;
                ink[i].add(x, y);
                solid[i] += coverage > 0.75f ? 1 : 0;
            }
            if (!explained && stray++ == 0)
                firstStray << "(" << x << ", " << y << ") = " << pixel.x << " " << pixel.y << " "
                           << pixel.z;
        }
    }
    EXPECT_EQ(stray, 0) << "pixels that no text item explains, first at " << firstStray.str();
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(items[i].text);
        EXPECT_GT(solid[i], 20);
        // The ink reaches both ends of the laid-out line: nothing is cut off or shifted.
        EXPECT_NEAR(ink[i].x0, boxes[i].x0 + filterMargin, 1);
        EXPECT_NEAR(ink[i].x1, boxes[i].x1 - filterMargin, 1);
        EXPECT_NEAR(ink[i].y0, boxes[i].y0 + filterMargin, 1);
        EXPECT_NEAR(ink[i].y1, boxes[i].y1 - filterMargin, 1);
    }
}

// ---- The frame loop's text set-up in a scratch game directory ---------------------------------

class TextScreens : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ASSERT_TRUE(fs::exists(systemFont)) << "the Liberation Sans font is not installed";
        int width = 0, height = 0;
        glfwGetFramebufferSize(glWindow(), &width, &height);
        ASSERT_TRUE(width == canvasWidth && height == canvasHeight)
            << "the hidden window's framebuffer is " << width << " x " << height;
        fs::create_directories(dir.path() / "Resources/fonts");
        fs::create_directories(dir.path() / "Shader");
        fs::copy_file(systemFont, dir.path() / "Resources/fonts/arial.ttf");
        for (const char* shaderFile : {"texture_freetype.vert", "texture_freetype.frag"})
            fs::copy_file(sourceDir() / "Shader" / shaderFile, dir.path() / "Shader" / shaderFile);
        workingDir.emplace(dir.path());

        shader = std::make_unique<ShaderProgram>("Shader/texture_freetype.vert",
                                                 "Shader/texture_freetype.frag");
        glViewport(0, 0, canvasWidth, canvasHeight);
        glEnable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glUseProgram(shader->program);
        const glm::mat4 projection =
            glm::ortho(0.0f, float(canvasWidth), 0.0f, float(canvasHeight), -1.0f, 1.0f);
        glUniformMatrix4fv(glGetUniformLocation(shader->program, "projection"), 1, GL_FALSE,
                           glm::value_ptr(projection));
        glyphs.clear();
        initTextRenderer();
        ASSERT_EQ(glyphs.size(), 128u);
    }

    void clearTo(glm::vec3 colour) {
        glClearColor(colour.r, colour.g, colour.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // Stands for the depths of a drawn scene, which the screens must not clear.
    static constexpr float sceneDepth = 0.25f;
    void fillDepth(float depth) {
        glClearDepth(depth);
        glClear(GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
    }
    float depthAt(int x, int y) {
        float depth = 0.0f;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

    TempDir dir;
    std::optional<ScopedWorkingDirectory> workingDir;
    std::unique_ptr<ShaderProgram> shader;
};

const glm::vec3 navy(0.0f, 0.0f, 0.5f);
const glm::vec3 red(1.0f, 0.0f, 0.0f);
const glm::vec3 white(1.0f, 1.0f, 1.0f);

} // namespace

TEST_F(TextScreens, GlyphsArriveUprightAndPixelExact) {
    // At scale 1 on whole-pixel positions each texel lands on one pixel, so the picture must be
    // FreeType's own bitmap: this catches flipped rows, a wrong unpack alignment for odd widths,
    // a wrong bearing and a glyph record that does not match its bitmap.
    clearTo(glm::vec3(0.0f));
    const std::string probes = "gQR%j";
    const int baseline = 300, spacing = 100;
    for (size_t i = 0; i < probes.size(); ++i)
        renderText(*shader, std::string(1, probes[i]), float(spacing * (i + 1)), float(baseline),
                   1.0f, white);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const Canvas canvas = readCanvas();

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, systemFont.c_str(), 0, &face), 0);
    FT_Set_Pixel_Sizes(face, 0, 48);
    bool someOddWidth = false;
    for (size_t i = 0; i < probes.size(); ++i) {
        SCOPED_TRACE(std::string("glyph ") + probes[i]);
        ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(probes[i]), FT_LOAD_RENDER), 0);
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const Character& glyph = glyphs.at(probes[i]);
        EXPECT_EQ(glyph.size, glm::ivec2(bitmap.width, bitmap.rows));
        EXPECT_EQ(glyph.bearing, glm::ivec2(slot->bitmap_left, slot->bitmap_top));
        EXPECT_EQ(glyph.advance, static_cast<GLuint>(slot->advance.x));
        someOddWidth = someOddWidth || bitmap.width % 4 != 0;

        const int left = spacing * static_cast<int>(i + 1) + slot->bitmap_left;
        const int top = baseline + slot->bitmap_top - 1;
        int worst = 0;
        for (int row = 0; row < static_cast<int>(bitmap.rows); ++row)
            for (int column = 0; column < static_cast<int>(bitmap.width); ++column) {
                const int coverage = bitmap.buffer[row * bitmap.pitch + column];
                worst = std::max(worst, largestDifference(canvas.at(left + column, top - row),
                                                          glm::ivec3(coverage)));
            }
        EXPECT_LE(worst, 2);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    EXPECT_TRUE(someOddWidth) << "no probe glyph tests the unpack alignment";
}

TEST_F(TextScreens, HelpScreenShowsNineteenLinesWithTheCheatLineInRed) {
    clearTo(glm::vec3(0.2f));
    fillDepth(sceneDepth);
    drawHelpScreen(*shader);
    const Canvas canvas = readCanvas();

    const glm::vec3 paper(1.0f, 1.0f, 0.9f);
    EXPECT_EQ(largestDifference(canvas.at(1599, 799), toBytes(paper)), 0);
    // One title, then eighteen lines 20 units apart; only the cheat-mode line is red.
    std::vector<TextItem> items = {{"Help Screen", 340, 670, 0.5f, navy}};
    const char* lines[] = {
        "F1 - Turn Help on / off",
        "F2 - Turn Performance Output off / on",
        "F3 - Turn Wireframe on / off",
        "F4 - Set Texture Sampling Quality to Nearest Neighbour / Bilinear",
        "F5 - Set MipMapping to Nearest Neighbour / Off / Linear",
        "F9 - Turn Transparency on / off",
        "1 - Switch from 1st person camera to a camera that can be moved around independently",
        "2 - Switch from jet view to interior view to rocket view",
        "KEY_UP - pitch down",
        "KEY_DOWN - pitch up",
        "A - Roll left",
        "D - Roll right",
        "W - Speed up",
        "S - Slow down",
        "SPACE - Shoot rocket",
        "ESC - Quit Game",
        "F6 - Cheat Mode, no game over",
        "F8 - View frustum culling on/off",
    };
    float y = 630.0f;
    for (const std::string line : lines) {
        items.push_back({line, 100.0f, y, 0.25f, line.starts_with("F6") ? red : navy});
        y -= 20.0f;
    }
    expectScreen(canvas, paper, items);

    // Only the colour buffer is cleared.
    EXPECT_FLOAT_EQ(depthAt(5, 5), sceneDepth);
}

TEST_F(TextScreens, OverlayDrawsItsLinesOverTheScene) {
    const glm::vec3 scene(0.05f, 0.1f, 0.3f);
    PerformanceFigures figures;
    figures.deltaTime = 0.0161f;
    figures.componentsDrawn = 12;
    const TextItem performance{"FPS: 62. ms: 16. Wiref: off. Transp: off. TSQ: bil. MipMap: lin. "
                               "Cull: off. Components drawn: 12",
                               0.5f, 740, 0.5f, glm::vec3(1.0f, 0.3f, 0.0f)};
    const TextItem points{"Points: 3.21 Level: 1", 0.5f, 5, 0.5f, glm::vec3(0.1f, 1.0f, 0.1f)};
    const TextItem time{"Time Left: 97", 0.5f, 30, 0.5f, red};

    clearTo(scene);
    drawOverlay(*shader, true, figures, 3.21f, 1, 97.0f);
    expectScreen(readCanvas(), scene, {performance, points, time});

    // With F2 off only the bottom two lines remain.
    clearTo(scene);
    drawOverlay(*shader, false, figures, 3.21f, 1, 97.0f);
    expectScreen(readCanvas(), scene, {points, time});
}

TEST_F(TextScreens, GameOverScreenBlanksTheSceneAndShowsFinalPoints) {
    clearTo(glm::vec3(0.05f, 0.1f, 0.3f));
    fillDepth(sceneDepth);
    drawGameOverScreen(*shader, 1234.5f);
    const Canvas canvas = readCanvas();

    expectScreen(canvas, glm::vec3(0.0f),
                 {{"ZEPHRANE", 450, 650, 1.0f, white},
                  {"GAME OVER!", 400, 400, 1.5f, red},
                  {"Final Points: 1234.50", 600, 250, 0.75f, white}});
    EXPECT_FLOAT_EQ(depthAt(5, 5), sceneDepth);
}

TEST_F(TextScreens, MissingFontLeavesAnEmptyCacheAndDrawsNothing) {
    fs::remove(dir.path() / "Resources/fonts/arial.ttf");
    glyphs.clear();
    ::testing::internal::CaptureStdout();
    initTextRenderer();
    const std::string out = ::testing::internal::GetCapturedStdout();

    int fontLines = 0, glyphLines = 0, otherErrors = 0;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line == "ERROR::FREETYPE: Failed to load font")
            ++fontLines;
        else if (line == "ERROR::FREETYTPE: Failed to load Glyph")
            ++glyphLines;
        else if (line.rfind("ERROR::", 0) == 0)
            ++otherErrors;
    }
    EXPECT_EQ(fontLines, 1);
    EXPECT_EQ(glyphLines, 128);
    EXPECT_EQ(otherErrors, 0);
    EXPECT_TRUE(glyphs.empty());

    const glm::vec3 scene(0.05f, 0.1f, 0.3f);
    clearTo(scene);
    drawOverlay(*shader, true, PerformanceFigures{}, 10.0f, 2, 50.0f);
    expectScreen(readCanvas(), scene, {});
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
