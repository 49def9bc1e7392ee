#include "text/Hud.h"

#include "text/TextRenderer.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

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

// A line of help about one action (0 for the title). Lines marked `whenRebound` are not part of
// the default screen; they appear only for a player who moved their action to other keys.
struct HelpLine {
    int action; // the action's default key
    bool whenRebound;
    TextItem item;
};

constexpr std::array<HelpLine, 22> helpLines = {{
    {0, false, {"Help Screen", 340.0f, 670.0f, helpTitleScale, helpInk}},
    {GLFW_KEY_F1, false, {"F1 - Turn Help on / off", helpLineX, 630.0f, helpLineScale, helpInk}},
    {GLFW_KEY_F2,
     false,
     {"F2 - Turn Performance Output off / on", helpLineX, 610.0f, helpLineScale, helpInk}},
    {GLFW_KEY_F3,
     false,
     {"F3 - Turn Wireframe on / off", helpLineX, 590.0f, helpLineScale, helpInk}},
    {GLFW_KEY_F4,
     false,
     {"F4 - Set Texture Sampling Quality to Nearest Neighbour / Bilinear", helpLineX, 570.0f,
      helpLineScale, helpInk}},
    {GLFW_KEY_F5,
     false,
     {"F5 - Set MipMapping to Nearest Neighbour / Off / Linear", helpLineX, 550.0f, helpLineScale,
      helpInk}},
    {GLFW_KEY_F9,
     false,
     {"F9 - Turn Transparency on / off", helpLineX, 530.0f, helpLineScale, helpInk}},
    {GLFW_KEY_1,
     false,
     {"1 - Switch from 1st person camera to a camera that can be moved around independently",
      helpLineX, 510.0f, helpLineScale, helpInk}},
    {GLFW_KEY_2,
     false,
     {"2 - Switch from jet view to interior view to rocket view", helpLineX, 490.0f, helpLineScale,
      helpInk}},
    {GLFW_KEY_UP, false, {"KEY_UP - pitch down", helpLineX, 470.0f, helpLineScale, helpInk}},
    {GLFW_KEY_DOWN, false, {"KEY_DOWN - pitch up", helpLineX, 450.0f, helpLineScale, helpInk}},
    {GLFW_KEY_A, false, {"A - Roll left", helpLineX, 430.0f, helpLineScale, helpInk}},
    {GLFW_KEY_D, false, {"D - Roll right", helpLineX, 410.0f, helpLineScale, helpInk}},
    {GLFW_KEY_W, false, {"W - Speed up", helpLineX, 390.0f, helpLineScale, helpInk}},
    {GLFW_KEY_S, false, {"S - Slow down", helpLineX, 370.0f, helpLineScale, helpInk}},
    {GLFW_KEY_SPACE, false, {"SPACE - Shoot rocket", helpLineX, 350.0f, helpLineScale, helpInk}},
    {GLFW_KEY_ESCAPE, false, {"ESC - Quit Game", helpLineX, 330.0f, helpLineScale, helpInk}},
    {GLFW_KEY_F6,
     false,
     {"F6 - Cheat Mode, no game over", helpLineX, 310.0f, helpLineScale, helpWarningInk}},
    {GLFW_KEY_F8,
     false,
     {"F8 - View frustum culling on/off", helpLineX, 290.0f, helpLineScale, helpInk}},
    {GLFW_KEY_LEFT,
     true,
     {"LEFT - Turn the free camera left", helpLineX, 270.0f, helpLineScale, helpInk}},
    {GLFW_KEY_RIGHT,
     true,
     {"RIGHT - Turn the free camera right", helpLineX, 250.0f, helpLineScale, helpInk}},
    {GLFW_KEY_M, true, {"M - Sound off / on", helpLineX, 230.0f, helpLineScale, helpInk}},
}};

// The line as written, or with the player's keys in place of the default key before " - ".
std::string helpText(const HelpLine& line, const KeyBindings& bindings) {
    const std::string text = line.item.text;
    if (line.action == 0 || bindings.isDefault(line.action))
        return text;
    std::string keys;
    for (const int key : bindings.keysOf(line.action))
        keys += (keys.empty() ? "" : " / ") + std::string(KeyBindings::keyName(key));
    return keys + text.substr(text.find(" - "));
}

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

void drawHelpScreen(ShaderProgram& textShader, const KeyBindings& bindings) {
    clearColour(helpPaperColour);
    for (const HelpLine& line : helpLines)
        if (!line.whenRebound || !bindings.isDefault(line.action))
            renderText(textShader, helpText(line, bindings), line.item.x, line.item.y,
                       line.item.scale, line.item.colour);
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
