#pragma once

#include "ReplayScript.h"
#include "platform/FrameSource.h"

// Records a played game as a replay script: watching the frame loop, it notes every frame's
// time, held keys and gamepad. The game itself runs on the real clock and keyboard, untouched.
//
// The frame time is the one the loop handed the game, so a replay gets bit for bit the same
// times. The keys are read just before the frame is presented: the window system's key state
// changes only when events are polled at the start of a frame, so that is the state the whole
// frame saw (ESC, which the loop reads after presenting, included).
class FrameRecorder final : public FrameObserver {
public:
    // Without a keyboard the keys are the ones the engine's frame read, taps included.
    explicit FrameRecorder(const KeyboardState* keyboard = nullptr) : keyboard(keyboard) {}

    void beforePresent(const FrameInfo& frame, const Engine& engine) override;

    const ReplayScript& script() const { return recorded; }

private:
    const KeyboardState* keyboard;
    ReplayScript recorded;
};
