#include "ReplayObserver.h"

#include "ReplayScript.h"
#include "Screenshot.h"
#include "ScriptedFrameSource.h"
#include "app/Engine.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <thread>

namespace {

// The scene and the overlay are drawn on this canvas whatever the window's size; a screenshot
// is the part of it the window holds.
constexpr int canvasWidth = 1600;
constexpr int canvasHeight = 800;

} // namespace

void ReplayObserver::beforePresent(const FrameInfo& frame, const Engine& engine) {
    if (options.next)
        options.next->beforePresent(frame, engine);
    ++frames;
    last = frame;
    switches = {engine.helpScreen,   engine.performanceOutput, engine.wireframe,
                engine.transparency, engine.bilinearSampling,  engine.mipmapMode,
                engine.cheatMode,    engine.frustumCulling};
    takeShots(frame, engine);
    if (options.pacing)
        pace();
}

void ReplayObserver::takeShots(const FrameInfo& frame, const Engine& engine) {
    if (!options.script)
        return;
    const auto& shots = options.script->shots();
    for (; nextShot < shots.size() && shots[nextShot].frameIndex <= frame.index; ++nextShot) {
        if (shots[nextShot].frameIndex < frame.index || !options.screenshotDir)
            continue; // a frame the loop never presented, or no place to put the picture
        int width = 0, height = 0;
        glfwGetFramebufferSize(engine.window, &width, &height);
        const auto file = *options.screenshotDir / (shots[nextShot].name + ".png");
        std::string error;
        if (writeScreenshot(file, std::min(width, canvasWidth), std::min(height, canvasHeight),
                            error))
            written.push_back(file);
        else
            problems.push_back("screenshot \"" + shots[nextShot].name + "\": " + error);
    }
}

void ReplayObserver::pace() {
    using namespace std::chrono;
    const auto scripted =
        duration_cast<steady_clock::duration>(duration<double>(options.pacing->time()));
    if (!wallStart)
        wallStart = steady_clock::now() - scripted;
    std::this_thread::sleep_until(*wallStart + scripted);
}
