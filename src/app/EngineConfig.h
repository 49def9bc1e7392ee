#pragma once

#include <iosfwd>
#include <optional>
#include <string>

// The settings read from config.js (JSON with C-style comments). Missing keys take their
// defaults; a value that is not an integer within 32 bits, or a root that is not an object,
// fails like a syntax error, and so does a "renderscale" or "targetfps" that is not an integer
// within its range.
struct EngineConfig {
    int width = 800;
    int height = 600;
    int fullscreen = 0; // exactly 1 means full screen on the primary monitor
    int refreshRate = 0;
    int openglMajor = 4;
    int openglMinor = 3;
    // Ours, beyond the window settings every config.js has: exactly 1 draws the picture into
    // the largest rectangle of the width : height shape that fits the window, whatever its size
    // now, with black bars; any other value keeps the fixed 1600 x 800 drawing area.
    int fitWindow = 0;
    // Loudness of the music and of the effects in percent, 0 to 100 (anything else fails the
    // parse); 100 is the sounds as they were made.
    int musicVolume = 100;
    int effectsVolume = 100;
    // The scene's share of the drawing area's width and height, in percent (25 to 100); below
    // 100 the scene is drawn smaller and scaled up, the HUD stays at full size. With a frame-rate
    // target (frames a second, 0 = none, up to 1000) it is the floor the game may lower it to.
    int renderScale = 100;
    int targetFps = 0;

    // Parses a whole document. On failure returns nothing and sets `errors` to the reader's
    // formatted messages (or to one naming the offending key).
    static std::optional<EngineConfig> parse(std::istream& in, std::string& errors);
};
