#pragma once

#include "platform/WindowFit.h"

// Draws the scene smaller and scales it up: an off-screen framebuffer (colour and depth) of a
// share of the drawing area's width and height, which the scene is drawn into between begin()
// and end(), and which end() then stretches with linear filtering over the drawing area of the
// window's framebuffer. Only the colour is scaled up: the text drawn afterwards sits at half the
// depth range, in front of everything but geometry within a fifth of a unit of the eye, and
// meets the window's depth as the frame cleared it; copying the depths too cost nearly as much as
// the colour on a software renderer. Used only below 100 percent: the full-size frame never touches
// it.
class SceneScaler {
public:
    // Makes (or resizes) the framebuffer for `percent` of `area`, binds it, sets the viewport to
    // all of it and clears its colour and depth with the current clear values. The window's
    // scissor (`scissored`: the letterbox's) is off while the scene draws.
    void begin(const Letterbox& area, int percent, bool scissored);
    // Scales the picture into the area on the window's framebuffer, binds that again and puts
    // back its viewport and scissor.
    void end();

private:
    void resize(int newWidth, int newHeight);

    unsigned framebuffer = 0, colour = 0, depth = 0; // GL names, made once
    int width = 0, height = 0;
    Letterbox area;
    bool scissored = false;
};
