// Zephrane settings. Plain JSON with C-style comments; every value is an integer.
{
    // Window width in pixels. The game draws on a 1600 x 800 canvas, so this size fills
    // the window exactly.
    "width": 1600,
    // Window height in pixels.
    "height": 800,
    // 1 opens full screen on the primary monitor; any other value opens a window.
    "fullscreen": 0,
    // Refresh rate in Hz for full screen; 0 keeps the monitor's own.
    "refreshrate": 0,
    // OpenGL version of the core-profile context.
    "openglmajor": 4,
    "openglminor": 3,
    // 1 keeps the whole picture at any window size: resized, maximised or full screen, the
    // scene and the HUD fill the largest part of the window with the shape of width x height,
    // centred, with black bars. 0 draws 1600 x 800 pixels at the lower left, whatever the
    // window's size.
    "fitwindow": 1,
    // Loudness of the music and of the sound effects, 0 (silent) to 100 (full). The M key
    // mutes and unmutes all sound; keys.js beside this file can move it and every other key.
    "musicvolume": 100,
    "effectsvolume": 100
}
