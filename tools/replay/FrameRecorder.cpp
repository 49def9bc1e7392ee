#include "FrameRecorder.h"

#include "app/Engine.h"

void FrameRecorder::beforePresent(const FrameInfo& frame, const Engine& engine) {
    const KeyboardState& keys = keyboard ? *keyboard : engine.keys();
    ReplayScript::KeySet held = 0;
    for (const auto& key : ReplayScript::keyNames())
        if (keys.isDown(key.glfwKey))
            held |= ReplayScript::keyBit(key.glfwKey);
    recorded.appendFrame(frame.deltaTime, held, engine.pad());
}
