#pragma once

#include <vector>

// The scene's render scale in percent, and, with a frame-rate target, the controller that moves
// it between a floor and 100 from measured frame times. Free of OpenGL and of clocks: the caller
// feeds the duration of every frame it presented, so tests drive it with made-up times.
//
// Without a target the scale stays at the floor. With one, it starts at 100 and decides at most
// once per decision period (half a second of fed frame time) from the frames fed since the last
// decision: it lowers the scale when more than a tenth of them overran the target's frame time
// by more than a tenth (a display's own pacing jitters around the target and is no reason),
// raises it when nine tenths of them took less than the raise threshold (a share of the target's
// frame time), and otherwise leaves it alone; the gap between the two is the hysteresis that keeps
// the picture from pumping. A step aims at the pixel count the measured times ask for (the frame
// is assumed to cost in proportion to the pixels), at least one minimum step, and never outside
// the floor and 100.
class RenderScaleControl {
public:
    static constexpr int fullScale = 100;            // percent
    static constexpr double decisionSeconds = 0.5;   // at most one change per this much time
    static constexpr double slowShare = 0.10;        // overrunning frames that lower the scale
    static constexpr double overrunTolerance = 1.10; // of the target's frame time
    static constexpr double raiseThreshold = 0.70;   // of the target's frame time
    static constexpr double aimShare = 0.80;         // a step aims at this share of the target
    static constexpr int minimumStep = 5;            // percent
    static constexpr int largestRaise = 15;          // percent; lowering may go further at once

    // `floorScale` 25..100, `targetFps` 0 (no target) or more.
    RenderScaleControl(int floorScale, int targetFps);

    int scale() const { return current; }
    bool hasTarget() const { return targetSeconds > 0.0; }

    // One presented frame's wall-clock duration, seconds. Returns true when the scale changed.
    bool frameTook(double seconds);

private:
    int floorScale;
    double targetSeconds; // 0 without a target
    int current;
    double windowSeconds = 0.0;
    std::vector<double> window; // frame times since the last decision
};
