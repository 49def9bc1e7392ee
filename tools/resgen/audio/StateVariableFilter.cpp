#include "StateVariableFilter.h"

#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace synth {

namespace {

// Below 10 Hz nothing is audible; near Nyquist the tangent below blows up.
constexpr float kLowestCutoffHz = 10.0f;
constexpr float kHighestCutoffHz = 0.45f * kSampleRateHz;
constexpr float kLowestQ = 0.1f;

} // namespace

void StateVariableFilter::tune(float cutoffHz, float q) {
    const float cutoff = std::clamp(cutoffHz, kLowestCutoffHz, kHighestCutoffHz);
    const float g = std::tan(std::numbers::pi_v<float> * cutoff / kSampleRateHz);
    k = 1.0f / std::max(q, kLowestQ);
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

StateVariableFilter::Outputs StateVariableFilter::process(float input) {
    const float v3 = input - state2;
    const float band = a1 * state1 + a2 * v3;
    const float low = state2 + a2 * state1 + a3 * v3;
    state1 = 2.0f * band - state1;
    state2 = 2.0f * low - state2;
    return {low, band, input - k * band - low};
}

} // namespace synth
