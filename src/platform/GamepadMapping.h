#pragma once

#include "platform/GamepadState.h"

// Turns a gamepad into the keys the game already reads, so the pad flies the jet exactly as
// the keyboard does, switch cooldowns included:
//
//   left stick left / right   A / D (roll)        right trigger   W (speed up)
//   left stick forward / back UP / DOWN (pitch)   left trigger    S (slow down)
//   south button (A, cross)   SPACE (fire)        west (X, square)  1 (camera switch)
//   north button (Y, triangle) 2 (view cycle)     back / select   F1 (help screen)
//   d-pad up / down           F2 / F3             left / right shoulder  F8 / F9
//   back and start held together for one second  ESC (quit)
//
// The stick keys are analog: strength() gives the deflection past the dead zone (0.5 tilts at
// half the key's rate); every other mapped key is either fully down or up. Triggers count as
// held past half their travel. Call update() once per frame before reading.
class GamepadMapping {
public:
    static constexpr float stickDeadZone = 0.15f;    // of full deflection, both sticks
    static constexpr float triggerHeldTravel = 0.5f; // of full travel
    static constexpr float quitHoldSeconds = 1.0f;

    void update(const GamepadState& pad, float deltaTime);

    bool isDown(int glfwKey) const { return strength(glfwKey) > 0.0f; }
    // How far the key is pressed, from 0 (up) to 1 (fully down).
    float strength(int glfwKey) const;

private:
    GamepadState pad;
    float quitHeldSeconds = 0.0f;
};
