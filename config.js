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
    // When the game is slow (no graphics driver, a virtual machine, remote desktop): the scene's
    // share of the picture's width and height in percent, 25 to 100. Below 100 the scene is drawn
    // smaller and scaled up, softer but faster; the text stays sharp. 100 (shipped) draws it at
    // full size.
    "renderscale": 100,
    // Frames a second the game tries to keep; 0 (shipped) is off. Otherwise it lowers the scale,
    // down to "renderscale" (so set that below 100 too: 60 here and 50 there are a good start),
    // while frames are slower than that, and raises it again up to 100 when there is room.
    "targetfps": 0,
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
