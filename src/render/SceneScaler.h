#pragma once

#include "platform/WindowFit.h"

// Draws the scene smaller and scales it up: an off-screen framebuffer (colour and depth) of a
// share of the drawing area's width and height, which the scene is drawn into between begin()
// and end(), and which end() then stretches with linear filtering over the drawing area of the
// window's framebuffer. The depths come along (nearest), so what is drawn after the scene meets
// them as it would have met the full-size scene's. Used only below 100 percent: the full-size
// frame never touches it.
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
    unsigned depthStorage = 0;                       // the window's depth format
    int width = 0, height = 0;
    Letterbox area;
    bool scissored = false;
};
