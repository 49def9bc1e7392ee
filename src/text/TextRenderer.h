#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <array>
#include <map>
#include <string>
#include <vector>

class ShaderProgram;

// One cached glyph of the HUD font.
struct Character {
    GLuint textureId = 0;
    glm::ivec2 size{0};    // bitmap width and rows, pixels
    glm::ivec2 bearing{0}; // pen to left edge, baseline to top edge, pixels
    GLuint advance = 0;    // pen advance in 1/64 pixel
};

// The glyph cache (codes 0 to 127 of "Resources/fonts/arial.ttf" at 48 pixels) and text drawing
// on the fixed 1600 x 800 text canvas (origin bottom left, y is the baseline).
//
// initTextRenderer() needs a current context, blending on, and the text shader current with its
// projection set. Failures print their FreeType line and set-up goes on; without a font the
// cache is empty and text draws nothing. Glyph textures and the quad buffer live until exit.
extern std::map<char, Character> glyphs;

void initTextRenderer();

// Draws one line with the pen model: integer advance before scaling, no kerning. A byte without
// a cache entry draws nothing and leaves the pen where it is. Changes no render state besides
// the current program, the bound texture on unit 0 and the active unit.
void renderText(ShaderProgram& program, const std::string& text, float x, float y, float scale,
                glm::vec3 colour);

// When set, renderText hands it every line with its place, scale and colour before drawing it:
// what the screens say is checked as text, not read back from pixels.
extern void (*textDrawnHook)(const std::string& text, float x, float y, float scale,
                             glm::vec3 colour);

// One glyph quad as renderText lays it out: six (x, y, u, v) vertices and the glyph's texture.
struct GlyphQuad {
    GLuint textureId = 0;
    std::array<glm::vec4, 6> vertices;
};

// The layout of renderText without drawing (no OpenGL), for tests and tools.
std::vector<GlyphQuad> layoutText(const std::map<char, Character>& cache, const std::string& text,
                                  float x, float y, float scale);
