#include "text/TextRenderer.h"

#include "render/ShaderProgram.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <iostream>

std::map<char, Character> glyphs;
void (*textDrawnHook)(const std::string&, float, float, float, glm::vec3) = nullptr;

namespace {

constexpr const char* fontPath = "Resources/fonts/arial.ttf";
constexpr FT_UInt glyphPixelHeight = 48;    // pixels; width 0 lets FreeType match the height
constexpr unsigned cachedCodeCount = 128;   // codes 0 to 127: all text the game draws is ASCII
constexpr unsigned advanceFractionBits = 6; // FreeType advances are in 1/64 pixel
constexpr GLsizei quadVertexCount = 6;      // two triangles per glyph
constexpr GLint quadVertexComponents = 4;   // x, y, u, v

// Named once at start-up, with or without a font.
GLuint textVertexArray{};
GLuint textVertexBuffer{};

using QuadVertices = std::array<glm::vec4, quadVertexCount>;
static_assert(sizeof(QuadVertices) == 96, "the text quad buffer holds exactly 6 x vec4");

// The quad of one glyph with the pen at (x, y) on the baseline. The top edge takes v = 0 because
// the bitmap's first row is its top row.
QuadVertices glyphQuad(const Character& glyph, float x, float y, float scale) {
    const float xpos = x + static_cast<float>(glyph.bearing.x) * scale;
    const float ypos = y - static_cast<float>(glyph.size.y - glyph.bearing.y) * scale;
    const float w = static_cast<float>(glyph.size.x) * scale;
    const float h = static_cast<float>(glyph.size.y) * scale;
    return {glm::vec4(xpos, ypos + h, 0.0f, 0.0f), glm::vec4(xpos, ypos, 0.0f, 1.0f),
            glm::vec4(xpos + w, ypos, 1.0f, 1.0f), glm::vec4(xpos, ypos + h, 0.0f, 0.0f),
            glm::vec4(xpos + w, ypos, 1.0f, 1.0f), glm::vec4(xpos + w, ypos + h, 1.0f, 0.0f)};
}

// Whole pixels first, then the scale: a string at scale 0.5 is exactly half as wide as at 1.0.
float penAdvance(const Character& glyph, float scale) {
    return static_cast<float>(glyph.advance >> advanceFractionBits) * scale;
}

GLuint uploadGlyphTexture(const FT_Bitmap& bitmap) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, static_cast<GLsizei>(bitmap.width),
                 static_cast<GLsizei>(bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE, bitmap.buffer);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}

void createQuadBuffer() {
    glGenVertexArrays(1, &textVertexArray);
    glGenBuffers(1, &textVertexBuffer);
    glBindVertexArray(textVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, textVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(QuadVertices), nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, quadVertexComponents, GL_FLOAT, GL_FALSE, sizeof(glm::vec4), nullptr);
    glBindVertexArray(0);
}

} // namespace

// ---- Glyph cache -------------------------------------------------------------------------------

void initTextRenderer() {
    // Each step reports its failure and set-up goes on: without a font the game still runs, only
    // without readable text. The null checks keep FreeType from ever seeing a dead handle.
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::cout << "ERROR::FREETYPE: Could not init FreeType Library" << std::endl;
        library = nullptr;
    }
    FT_Face face = nullptr;
    if (library == nullptr || FT_New_Face(library, fontPath, 0, &face) != 0) {
        std::cout << "ERROR::FREETYPE: Failed to load font" << std::endl;
        face = nullptr;
    }
    if (face != nullptr)
        FT_Set_Pixel_Sizes(face, 0, glyphPixelHeight);

    // Glyph bitmaps are tightly packed single bytes of coverage.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    for (unsigned code = 0; code < cachedCodeCount; ++code) {
        if (face == nullptr || FT_Load_Char(face, code, FT_LOAD_RENDER) != 0) {
            std::cout << "ERROR::FREETYTPE: Failed to load Glyph" << std::endl;
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        Character glyph;
        glyph.textureId = uploadGlyphTexture(slot->bitmap);
        glyph.size =
            glm::ivec2(static_cast<int>(slot->bitmap.width), static_cast<int>(slot->bitmap.rows));
        glyph.bearing = glm::ivec2(slot->bitmap_left, slot->bitmap_top);
        glyph.advance = static_cast<GLuint>(slot->advance.x);
        glyphs.insert_or_assign(static_cast<char>(code), glyph);
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    if (face != nullptr)
        FT_Done_Face(face);
    if (library != nullptr)
        FT_Done_FreeType(library);

    createQuadBuffer();
}

// ---- Layout and drawing ------------------------------------------------------------------------

void renderText(ShaderProgram& program, const std::string& text, float x, float y, float scale,
                glm::vec3 colour) {
    if (textDrawnHook != nullptr)
        textDrawnHook(text, x, y, scale, colour);
    glUseProgram(program.program);
    glUniform3f(glGetUniformLocation(program.program, "textColor"), colour.x, colour.y, colour.z);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(textVertexArray);

    for (const char ch : text) {
        const auto entry = glyphs.find(ch);
        if (entry == glyphs.end())
            continue; // no glyph: draw nothing and keep the pen where it is
        const Character& glyph = entry->second;
        const QuadVertices vertices = glyphQuad(glyph, x, y, scale);

        glBindTexture(GL_TEXTURE_2D, glyph.textureId);
        glBindBuffer(GL_ARRAY_BUFFER, textVertexBuffer);
        glBufferSubData(GL_ARRAY_BUFFER, 0, sizeof(QuadVertices), vertices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDrawArrays(GL_TRIANGLES, 0, quadVertexCount);

        x += penAdvance(glyph, scale);
    }

    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}

std::vector<GlyphQuad> layoutText(const std::map<char, Character>& cache, const std::string& text,
                                  float x, float y, float scale) {
    std::vector<GlyphQuad> quads;
    for (const char ch : text) {
        const auto entry = cache.find(ch);
        if (entry == cache.end())
            continue;
        const Character& glyph = entry->second;
        quads.push_back(GlyphQuad{glyph.textureId, glyphQuad(glyph, x, y, scale)});
        x += penAdvance(glyph, scale);
    }
    return quads;
}
