#pragma once

// The numbered key actions that InputHandler emits each frame a key is held.
// The numbers are part of the game's vocabulary (the jet, the free camera and the game switch
// on them); 10 is never produced because F7 is not read.
enum InputAction : int {
    KeyW = 0,
    KeyS = 1,
    KeyA = 2,
    KeyD = 3,
    KeyF1 = 4,
    KeyF2 = 5,
    KeyF3 = 6,
    KeyF4 = 7,
    KeyF5 = 8,
    KeyF6 = 9,
    KeyF8 = 11,
    KeyF9 = 12,
    Key1 = 13,
    Key2 = 14,
    KeySpace = 15,
    KeyUp = 16,
    KeyDown = 17,
    KeyLeft = 18,
    KeyRight = 19,
};
