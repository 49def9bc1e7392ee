#pragma once

namespace synth {

// A two-pole state-variable filter (trapezoidal form) that may be retuned every sample without
// zipper noise or instability: the sweeps of the effects and the pad's slow filter movement
// rely on that.
class StateVariableFilter {
public:
    struct Outputs {
        float low;
        float band;
        float high;
    };

    // `q` 0.707 is flat; larger values ring at the cutoff.
    StateVariableFilter(float cutoffHz = 1000.0f, float q = 0.707f) { tune(cutoffHz, q); }

    void tune(float cutoffHz, float q);
    Outputs process(float input);

private:
    float k = 0.0f;
    float a1 = 0.0f;
    float a2 = 0.0f;
    float a3 = 0.0f;
    float state1 = 0.0f;
    float state2 = 0.0f;
};

} // namespace synth
