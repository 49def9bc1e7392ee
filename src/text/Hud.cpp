#include "text/Hud.h"

#include "text/TextRenderer.h"

#include <GL/glew.h>

#include <array>

namespace {

// One line of fixed text on the 1600 x 800 canvas; (x, y) is the start of its baseline.
struct TextItem {
    const char* text;
    float x;
    float y;
    float scale;
    glm::vec3 colour;
};

// ---- Help screen -------------------------------------------------------------------------------

constexpr glm::vec4 helpPaperColour(1.0f, 1.0f, 0.9f, 1.0f);
constexpr glm::vec3 helpInk(0.0f, 0.0f, 0.5f);
constexpr glm::vec3 helpWarningInk(1.0f, 0.0f, 0.0f); // cheat mode stands out in red
constexpr float helpTitleScale = 0.5f;
constexpr float helpLineScale = 0.25f;
constexpr float helpLineX = 100.0f;

const std::array<TextItem, 19> helpLines = {{
    {"Help Screen", 340.0f, 670.0f, helpTitleScale, helpInk},
    {"F1 - Turn Help on / off", helpLineX, 630.0f, helpLineScale, helpInk},
    {"F2 - Turn Performance Output off / on", helpLineX, 610.0f, helpLineScale, helpInk},
    {"F3 - Turn Wireframe on / off", helpLineX, 590.0f, helpLineScale, helpInk},
    {"F4 - Set Texture Sampling Quality to Nearest Neighbour / Bilinear", helpLineX, 570.0f,
     helpLineScale, helpInk},
    {"F5 - Set MipMapping to Nearest Neighbour / Off / Linear", helpLineX, 550.0f, helpLineScale,
     helpInk},
    {"F9 - Turn Transparency on / off", helpLineX, 530.0f, helpLineScale, helpInk},
    {"1 - Switch from 1st person camera to a camera that can be moved around independently",
     helpLineX, 510.0f, helpLineScale, helpInk},
    {"2 - Switch from jet view to interior view to rocket view", helpLineX, 490.0f, helpLineScale,
     helpInk},
    {"KEY_UP - pitch down", helpLineX, 470.0f, helpLineScale, helpInk},
    {"KEY_DOWN - pitch up", helpLineX, 450.0f, helpLineScale, helpInk},
    {"A - Roll left", helpLineX, 430.0f, helpLineScale, helpInk},
    {"D - Roll right", helpLineX, 410.0f, helpLineScale, helpInk},
    {"W - Speed up", helpLineX, 390.0f, helpLineScale, helpInk},
    {"S - Slow down", helpLineX, 370.0f, helpLineScale, helpInk},
    {"SPACE - Shoot rocket", helpLineX, 350.0f, helpLineScale, helpInk},
    {"ESC - Quit Game", helpLineX, 330.0f, helpLineScale, helpInk},
    {"F6 - Cheat Mode, no game over", helpLineX, 310.0f, helpLineScale, helpWarningInk},
    {"F8 - View frustum culling on/off", helpLineX, 290.0f, helpLineScale, helpInk},
}};

// ---- Overlay -----------------------------------------------------------------------------------

constexpr float overlayX = 0.5f;
constexpr float overlayScale = 0.5f;
constexpr float performanceY = 740.0f;
constexpr float pointsY = 5.0f;
constexpr float timeLeftY = 30.0f;
constexpr glm::vec3 performanceColour(1.0f, 0.3f, 0.0f);
constexpr glm::vec3 pointsColour(0.1f, 1.0f, 0.1f);
constexpr glm::vec3 timeLeftColour(1.0f, 0.0f, 0.0f);

// ---- Game-over screen --------------------------------------------------------------------------

constexpr glm::vec4 gameOverBackground(0.0f, 0.0f, 0.0f, 1.0f);
constexpr TextItem gameOverTitle{"ZEPHRANE", 450.0f, 650.0f, 1.0f, glm::vec3(1.0f, 1.0f, 1.0f)};
constexpr TextItem gameOverBanner{"GAME OVER!", 400.0f, 400.0f, 1.5f, glm::vec3(1.0f, 0.0f, 0.0f)};
constexpr float finalPointsX = 600.0f;
constexpr float finalPointsY = 250.0f;
constexpr float finalPointsScale = 0.75f;
constexpr glm::vec3 finalPointsColour(1.0f, 1.0f, 1.0f);

void draw(ShaderProgram& textShader, const TextItem& item) {
    renderText(textShader, item.text, item.x, item.y, item.scale, item.colour);
}

// Only the colour buffer: the game-over screen leaves the scene's depths in place.
void clearColour(const glm::vec4& colour) {
    glClearColor(colour.r, colour.g, colour.b, colour.a);
    glClear(GL_COLOR_BUFFER_BIT);
}

} // namespace

void drawHelpScreen(ShaderProgram& textShader) {
    clearColour(helpPaperColour);
    for (const TextItem& line : helpLines)
        draw(textShader, line);
}

void drawOverlay(ShaderProgram& textShader, bool showPerformance, const PerformanceFigures& figures,
                 float points, int level, float timeLeft) {
    if (showPerformance)
        renderText(textShader, performanceLine(figures), overlayX, performanceY, overlayScale,
                   performanceColour);
    renderText(textShader, pointsLine(points, level), overlayX, pointsY, overlayScale,
               pointsColour);
    renderText(textShader, timeLeftLine(timeLeft), overlayX, timeLeftY, overlayScale,
               timeLeftColour);
}

void drawGameOverScreen(ShaderProgram& textShader, float finalPoints) {
    clearColour(gameOverBackground);
    draw(textShader, gameOverTitle);
    draw(textShader, gameOverBanner);
    renderText(textShader, finalPointsLine(finalPoints), finalPointsX, finalPointsY,
               finalPointsScale, finalPointsColour);
}
