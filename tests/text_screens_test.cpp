// The text screens drawn by the real driver into the 1600 x 800 canvas and read back: ink of the
// right colour where each line is laid out and nowhere else.
#include "TestSupport.h"

#include "render/ShaderProgram.h"
#include "text/Hud.h"
#include "text/TextRenderer.h"

#include <GL/glew.h>
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
constexpr int filterMargin = 2; // pixels that linear filtering may smear beyond a quad
constexpr int noise = 8;        // byte difference that still counts as background
constexpr int blendTolerance = 8;

std::vector<glm::ivec3> readCanvas() {
    std::vector<unsigned char> rgb(3u * canvasWidth * canvasHeight);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, canvasWidth, canvasHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::vector<glm::ivec3> pixels;
    for (std::size_t i = 0; i < rgb.size(); i += 3)
        pixels.emplace_back(rgb[i], rgb[i + 1], rgb[i + 2]);
    return pixels;
}

glm::ivec3 toBytes(glm::vec3 colour) {
    return glm::ivec3(glm::round(colour * 255.0f));
}

int largestDifference(glm::ivec3 a, glm::ivec3 b) {
    const glm::ivec3 d = glm::abs(a - b);
    return std::max({d.x, d.y, d.z});
}

struct TextItem {
    std::string text;
    float x, y, scale;
    glm::vec3 colour;
};

struct Box {
    glm::ivec2 low{INT_MAX}, high{INT_MIN}; // inclusive pixels
    bool contains(glm::ivec2 p) const {
        return glm::all(glm::greaterThanEqual(p, low)) && glm::all(glm::lessThanEqual(p, high));
    }
    void add(glm::ivec2 p) { low = glm::min(low, p), high = glm::max(high, p); }
};

// The pixels the item's glyph quads cover.
Box layoutBox(const TextItem& item) {
    Box box;
    for (const GlyphQuad& quad : layoutText(glyphs, item.text, item.x, item.y, item.scale)) {
        const glm::vec4 topLeft = quad.vertices[0], bottomRight = quad.vertices[2];
        if (bottomRight.x <= topLeft.x || topLeft.y <= bottomRight.y)
            continue; // an empty bitmap leaves no ink
        box.add(glm::ivec2(glm::floor(glm::vec2(topLeft.x, bottomRight.y))));
        // The last pixel column and row that the quad covers lie just inside its far edges.
        box.add(glm::ivec2(glm::ceil(glm::vec2(bottomRight.x, topLeft.y))) - 1);
    }
    return box;
}

// Every pixel is either the background or one item's colour blended over it near that item's
// laid-out quads; every item leaves solid ink that reaches both ends of its line and its top and
// bottom, so nothing is cut off, shifted or drawn in the wrong colour.
void expectScreen(const std::vector<glm::ivec3>& canvas, glm::vec3 background,
                  const std::vector<TextItem>& items) {
    const glm::ivec3 paper = toBytes(background);
    std::vector<Box> laidOut, ink(items.size());
    std::vector<int> solid(items.size(), 0);
    for (const TextItem& item : items)
        laidOut.push_back(layoutBox(item));
    int stray = 0;
    std::ostringstream firstStray;
    for (int y = 0; y < canvasHeight; ++y) {
        for (int x = 0; x < canvasWidth; ++x) {
            const glm::ivec3 pixel = canvas[static_cast<std::size_t>(y) * canvasWidth + x];
            if (largestDifference(pixel, paper) <= noise)
                continue;
            bool explained = false;
            for (std::size_t i = 0; i < items.size(); ++i) {
                const glm::vec3 towards = glm::vec3(toBytes(items[i].colour) - paper);
                const float coverage = glm::clamp(glm::dot(glm::vec3(pixel - paper), towards) /
                                                      glm::dot(towards, towards),
                                                  0.0f, 1.0f);
                const glm::ivec3 blended =
                    glm::ivec3(glm::round(glm::vec3(paper) + coverage * towards));
                const Box& near = laidOut[i];
                if (!Box{near.low - filterMargin, near.high + filterMargin}.contains({x, y}) ||
                    largestDifference(blended, pixel) > blendTolerance)
                    continue;
                explained = true;
                ink[i].add({x, y});
                solid[i] += coverage > 0.75f ? 1 : 0;
            }
            if (!explained && stray++ == 0)
                firstStray << "(" << x << ", " << y << ") = " << pixel.x << " " << pixel.y << " "
                           << pixel.z;
        }
    }
    EXPECT_EQ(stray, 0) << "pixels that no text item explains, first at " << firstStray.str();
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_GT(solid[i], 20) << items[i].text;
        EXPECT_TRUE(
            glm::all(glm::lessThanEqual(glm::abs(ink[i].low - laidOut[i].low), glm::ivec2(1))) &&
            glm::all(glm::lessThanEqual(glm::abs(ink[i].high - laidOut[i].high), glm::ivec2(1))))
            << items[i].text << ": ink does not span the laid-out line";
    }
}

// The frame loop's text set-up in a scratch game directory.
class TextScreens : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ensureGlContext())
            GTEST_SKIP() << "no display for an OpenGL context";
        ASSERT_TRUE(fs::exists(systemFont)) << "the Liberation Sans font is not installed";
        fs::create_directories(dir.path() / "Resources/fonts");
        fs::copy_file(systemFont, dir.path() / "Resources/fonts/arial.ttf");
        fs::create_directory_symlink(sourceDir() / "Shader", dir.path() / "Shader");
        workingDir.emplace(dir.path());

        shader = std::make_unique<ShaderProgram>("Shader/texture_freetype.vert",
                                                 "Shader/texture_freetype.frag");
        glViewport(0, 0, canvasWidth, canvasHeight);
        glEnable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_DEPTH_TEST);
        glUseProgram(shader->program);
        const glm::mat4 projection =
            glm::ortho(0.0f, float(canvasWidth), 0.0f, float(canvasHeight), -1.0f, 1.0f);
        glUniformMatrix4fv(glGetUniformLocation(shader->program, "projection"), 1, GL_FALSE,
                           glm::value_ptr(projection));
        glyphs.clear();
        initTextRenderer();
        ASSERT_EQ(glyphs.size(), 128u);
    }

    // Fills colour, and depth as a drawn scene would leave it (the screens must not clear it).
    static void clearTo(glm::vec3 colour) {
        glClearColor(colour.r, colour.g, colour.b, 1.0f);
        glClearDepth(sceneDepth);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
    }
    static float depthAt(int x, int y) {
        float depth = 0.0f;
        glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

    static constexpr float sceneDepth = 0.25f;
    TempDir dir;
    std::optional<ScopedWorkingDirectory> workingDir;
    std::unique_ptr<ShaderProgram> shader;
};

const glm::vec3 red(1.0f, 0.0f, 0.0f);
const glm::vec3 white(1.0f, 1.0f, 1.0f);
const glm::vec3 scene(0.05f, 0.1f, 0.3f);

} // namespace

// At scale 1 on whole-pixel positions each texel lands on one pixel, so the picture must be
// FreeType's own bitmap: this catches flipped rows, a wrong unpack alignment for odd widths,
// a wrong bearing and a glyph record that does not match its bitmap.
TEST_F(TextScreens, GlyphsArriveUprightAndPixelExact) {
    clearTo(glm::vec3(0.0f));
    const std::string probes = "gQR%j";
    const int baseline = 300, spacing = 100;
    for (std::size_t i = 0; i < probes.size(); ++i)
        renderText(*shader, probes.substr(i, 1), float(spacing * (i + 1)), float(baseline), 1.0f,
                   white);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glIsEnabled(GL_CULL_FACE) && !glIsEnabled(GL_DEPTH_TEST))
        << "drawing text changed the frame loop's state";
    const std::vector<glm::ivec3> canvas = readCanvas();

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&library), 0);
    ASSERT_EQ(FT_New_Face(library, systemFont.c_str(), 0, &face), 0);
    FT_Set_Pixel_Sizes(face, 0, 48);
    bool someOddWidth = false;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        ASSERT_EQ(FT_Load_Char(face, static_cast<FT_ULong>(probes[i]), FT_LOAD_RENDER), 0);
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        EXPECT_EQ(glyphs.at(probes[i]).advance, static_cast<GLuint>(slot->advance.x));
        someOddWidth = someOddWidth || bitmap.width % 4 != 0;
        const int left = spacing * static_cast<int>(i + 1) + slot->bitmap_left;
        const int top = baseline + slot->bitmap_top - 1;
        int worst = 0;
        for (int row = 0; row < static_cast<int>(bitmap.rows); ++row)
            for (int column = 0; column < static_cast<int>(bitmap.width); ++column)
                worst = std::max(
                    worst,
                    largestDifference(
                        canvas[static_cast<std::size_t>(top - row) * canvasWidth + left + column],
                        glm::ivec3(bitmap.buffer[row * bitmap.pitch + column])));
        EXPECT_LE(worst, 2) << "glyph " << probes[i];
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    EXPECT_TRUE(someOddWidth) << "no probe glyph tests the unpack alignment";
}

TEST_F(TextScreens, OverlayDrawsItsLinesOverTheScene) {
    PerformanceFigures figures;
    figures.deltaTime = 0.0161f;
    figures.componentsDrawn = 12;
    const TextItem performance{performanceLine(figures), 0.5f, 740, 0.5f,
                               glm::vec3(1.0f, 0.3f, 0.0f)};
    const TextItem points{pointsLine(3.21f, 1), 0.5f, 5, 0.5f, glm::vec3(0.1f, 1.0f, 0.1f)};
    const TextItem time{timeLeftLine(97.0f), 0.5f, 30, 0.5f, red};
    clearTo(scene);
    drawOverlay(*shader, true, figures, 3.21f, 1, 97.0f);
    expectScreen(readCanvas(), scene, {performance, points, time});
    // With F2 off only the bottom two lines remain.
    clearTo(scene);
    drawOverlay(*shader, false, figures, 3.21f, 1, 97.0f);
    expectScreen(readCanvas(), scene, {points, time});
}

TEST_F(TextScreens, GameOverScreenBlanksTheSceneAndShowsFinalPoints) {
    clearTo(scene);
    drawGameOverScreen(*shader, 1234.5f);
    expectScreen(readCanvas(), glm::vec3(0.0f),
                 {{"ZEPHRANE", 450, 650, 1.0f, white},
                  {"GAME OVER!", 400, 400, 1.5f, red},
                  {"Final Points: 1234.50", 600, 250, 0.75f, white}});
    EXPECT_FLOAT_EQ(depthAt(5, 5), sceneDepth);
}
