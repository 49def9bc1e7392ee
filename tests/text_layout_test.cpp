#include "text/TextRenderer.h"

#include <gtest/gtest.h>

namespace {

// A hand-made cache in 1/64-pixel advances, with fractions that the layout must drop.
std::map<char, Character> handMadeCache() {
    std::map<char, Character> cache;
    cache['A'] = Character{1, {30, 40}, {2, 40}, 35 * 64 + 63};
    cache['g'] = Character{2, {20, 30}, {1, 20}, 22 * 64}; // 10 pixels below the baseline
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

TEST(TextLayout, QuadsFollowBearingSizeAndWholePixelAdvance) {
    const auto quads = layoutText(handMadeCache(), "Ag", 10.0f, 100.0f, 1.0f);
    ASSERT_EQ(quads.size(), 2u);

    // Two counter-clockwise triangles; the top edge takes v = 0.
    const std::array<glm::vec4, 6> a = {glm::vec4(12, 140, 0, 0), glm::vec4(12, 100, 0, 1),
                                        glm::vec4(42, 100, 1, 1), glm::vec4(12, 140, 0, 0),
                                        glm::vec4(42, 100, 1, 1), glm::vec4(42, 140, 1, 0)};
    EXPECT_EQ(quads[0].textureId, 1u);
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_EQ(quads[0].vertices[i], a[i]) << "vertex " << i;

    // The pen moved by 35 whole pixels; the descender hangs 10 below the baseline.
    EXPECT_EQ(quads[1].textureId, 2u);
    EXPECT_EQ(left(quads[1]), 10.0f + 35.0f + 1.0f);
    EXPECT_EQ(bottom(quads[1]), 90.0f);
    EXPECT_EQ(quads[1].vertices[5], glm::vec4(66, 120, 1, 0));
}

TEST(TextLayout, HalfScaleAdvancesExactlyHalf) {
    const auto full = layoutText(handMadeCache(), "AgA A", 0.0f, 0.0f, 1.0f);
    const auto half = layoutText(handMadeCache(), "AgA A", 0.0f, 0.0f, 0.5f);
    ASSERT_EQ(full.size(), 5u);
    ASSERT_EQ(half.size(), 5u);
    // Pen before the last glyph: 35 + 22 + 35 + 12 whole pixels, then its bearing of 2.
    EXPECT_EQ(left(full[4]), 106.0f);
    EXPECT_EQ(left(half[4]), 53.0f);
    for (size_t i = 0; i < full.size(); ++i)
        EXPECT_EQ(left(half[i]), left(full[i]) / 2.0f) << "glyph " << i;
}

TEST(TextLayout, SpaceDrawsAnEmptyQuadButMovesThePen) {
    const auto quads = layoutText(handMadeCache(), "A A", 0.0f, 50.0f, 1.0f);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[1].textureId, 3u);
    for (const glm::vec4& vertex : quads[1].vertices)
        EXPECT_EQ(glm::vec2(vertex), glm::vec2(35.0f, 50.0f));
    EXPECT_EQ(left(quads[2]), 35.0f + 12.0f + 2.0f);
}

TEST(TextLayout, EveryByteIsLookedUpAndMissingOnesAreSkipped) {
    EXPECT_TRUE(layoutText(handMadeCache(), "", 0.0f, 0.0f, 1.0f).empty());

    // "é" in UTF-8 is two bytes above 127 (negative as char); 'Z' is simply not cached. Neither
    // draws nor moves the pen.
    auto quads = layoutText(handMadeCache(), "A\xC3\xA9Z A", 0.0f, 0.0f, 1.0f);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(left(quads[2]), 35.0f + 12.0f + 2.0f);

    // No line breaking: a cached line end is drawn in the line and advances like a letter.
    quads = layoutText(handMadeCache(), "A\nA", 0.0f, 0.0f, 1.0f);
    ASSERT_EQ(quads.size(), 3u);
    EXPECT_EQ(quads[1].textureId, 4u);
    EXPECT_EQ(left(quads[2]), 35.0f + 5.0f + 2.0f);
    EXPECT_EQ(bottom(quads[2]), 0.0f);
}
