#include "app/RenderScaleControl.h"

#include <algorithm>
#include <cassert>
#include <cmath>

RenderScaleControl::RenderScaleControl(int floorScale, int targetFps)
    : floorScale(floorScale), targetSeconds(targetFps > 0 ? 1.0 / targetFps : 0.0),
      current(targetFps > 0 ? fullScale : floorScale) {
    assert(floorScale > 0 && floorScale <= fullScale && "the configuration checked the floor");
    window.reserve(256);
}

bool RenderScaleControl::frameTook(double seconds) {
    if (!hasTarget())
        return false;
    window.push_back(seconds);
    windowSeconds += seconds;
    if (windowSeconds < decisionSeconds)
        return false;

    const auto frames = window.size();
    const auto overruns = std::count_if(window.begin(), window.end(), [&](double s) {
        return s > overrunTolerance * targetSeconds;
    });
    // The time nine frames in ten stayed under.
    const auto rank = window.begin() + std::ptrdiff_t(std::ceil(0.9 * double(frames))) - 1;
    std::nth_element(window.begin(), rank, window.end());
    const double slowFrame = *rank;
    window.clear();
    windowSeconds = 0.0;

    // The scale whose pixel count would bring that frame to the aimed time.
    const double aimed = slowFrame > 0.0
                             ? double(current) * std::sqrt(aimShare * targetSeconds / slowFrame)
                             : double(fullScale);
    int next = current;
    if (double(overruns) > slowShare * double(frames))
        next = std::min(current - minimumStep, int(aimed));
    else if (slowFrame < raiseThreshold * targetSeconds)
        next = std::clamp(int(aimed), current + minimumStep, current + largestRaise);
    next = std::clamp(next, floorScale, fullScale);
    const bool changed = next != current;
    current = next;
    return changed;
}
