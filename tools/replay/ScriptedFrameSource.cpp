#include "ScriptedFrameSource.h"

#include <GLFW/glfw3.h>

#include <cassert>

ScriptedFrameSource::ScriptedFrameSource(const ReplayScript& script) : script(script) {
    assert(script.frameCount() > 0 && "a parsed script always has a frame");
}

double ScriptedFrameSource::now() {
    if (!started) {
        started = true; // the reading before the first frame
        return clockTime;
    }
    const auto& stretches = script.stretches();
    ++frame;
    ++frameInStretch;
    while (stretch < stretches.size() && frameInStretch >= stretches[stretch].frames) {
        ++stretch;
        frameInStretch = 0;
    }
    if (stretch < stretches.size()) {
        keys = stretches[stretch].keys;
        pad = stretches[stretch].pad;
        clockTime += double(stretches[stretch].frameTime);
    } else {
        keys = ReplayScript::keyBit(GLFW_KEY_ESCAPE);
        pad = GamepadState{};
        clockTime += double(stretches.back().frameTime);
    }
    return clockTime;
}

bool ScriptedFrameSource::isDown(int glfwKey) const {
    if (frame < 0)
        return false;
    if (glfwKey == GLFW_KEY_ESCAPE && frame >= script.frameCount() - 1)
        return true;
    return (keys & ReplayScript::keyBit(glfwKey)) != 0;
}
