#pragma once

#include <string>

// The strings of the overlay and the game-over screen, built without OpenGL so that they can be
// checked exactly.

struct PerformanceFigures {
    float deltaTime = 0.0f; // this frame's duration, seconds
    bool wireframe = false;
    bool transparency = false;
    bool bilinearSampling = true;
    int mipmapMode = 0;
    bool frustumCulling = false;
    int componentsDrawn = 0;
    int renderScale = 100;    // percent, the scene's share of the picture's width and height
    bool scaleTarget = false; // a frame-rate target moves the scale
};

// Frames per second from one frame time; 0 for a frame time of zero or less.
int framesPerSecond(float deltaTime);

// The switches and figures; the render scale is added when it is not 100 or a target moves it.
std::string performanceLine(const PerformanceFigures& figures);
std::string pointsLine(float points, int level);
std::string timeLeftLine(float timeLeft);
std::string finalPointsLine(float finalPoints);
