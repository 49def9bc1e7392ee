#pragma once

#include "ReplayScript.h"
#include "platform/FrameSource.h"
#include "platform/GamepadState.h"

// Plays a replay script into the frame loop: the clock advances by the script's frame time at
// every reading, and the keyboard and the gamepad report what the frame that reading started
// holds.
//
// The loop reads the clock once before its first frame (time 0) and once at the start of every
// frame, so the n-th later reading starts frame n - 1. ESC is also reported held in the
// script's last frame, so the loop ends right after it, exactly as when a player presses ESC;
// should the loop go on anyway, later frames repeat the last frame time with only ESC held.
//
// The time is kept in double precision, so the frame time the loop computes from two readings
// is the script's float exactly (for any run shorter than some million frame times).
class ScriptedFrameSource final : public FrameClock, public KeyboardState, public GamepadSource {
public:
    explicit ScriptedFrameSource(const ReplayScript& script);

    double now() override;
    bool isDown(int glfwKey) const override;
    GamepadState read() override { return pad; }

    // The frame the latest reading started; -1 before the first frame.
    long frameIndex() const { return frame; }
    // The script time at which the current frame started, seconds.
    double time() const { return clockTime; }

private:
    const ReplayScript& script;
    long frame = -1;
    bool started = false;
    size_t stretch = 0;       // the stretch holding `frame`
    long frameInStretch = -1; // position of `frame` inside it
    ReplayScript::KeySet keys = 0;
    GamepadState pad;
    double clockTime = 0.0;
};
