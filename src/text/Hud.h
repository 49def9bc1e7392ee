#pragma once

#include "platform/KeyBindings.h"
#include "text/HudText.h"

class ShaderProgram;

// The three screens the frame loop draws with the text renderer, on the 1600 x 800 canvas.

// Clears to the help screen's paper colour and draws the nineteen lines of help. A line about an
// action the player moved to other keys names those keys, and the free camera's turns and the
// mute get a line of their own when moved.
void drawHelpScreen(ShaderProgram& textShader,
                    const KeyBindings& bindings = KeyBindings::defaults());

// The performance line (when shown), then points and level, then time left.
void drawOverlay(ShaderProgram& textShader, bool showPerformance, const PerformanceFigures& figures,
                 float points, int level, float timeLeft);

// Clears the colour buffer to black and draws the title, "GAME OVER!" and the final points.
void drawGameOverScreen(ShaderProgram& textShader, float finalPoints);
