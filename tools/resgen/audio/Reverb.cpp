#include "Reverb.h"

#include <cassert>

namespace synth {

namespace {

// Delay lengths in frames at 44.1 kHz; mutually prime-ish so that the echoes never line up
// into a flutter.
constexpr std::array<std::size_t, 8> kCombFrames = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<std::size_t, 4> kAllPassFrames = {556, 441, 341, 225};
constexpr std::size_t kRightSideExtraFrames = 23;
constexpr float kAllPassFeedback = 0.5f;
// The combs add up eight copies of the input; this keeps the tail near the input's level.
constexpr float kInputGain = 0.015f;

} // namespace

Reverb::Reverb(float feedbackAmount, float dampingAmount)
    : feedback(feedbackAmount), damping(dampingAmount) {
    assert(feedback >= 0.0f && feedback < 1.0f && "a comb feedback of 1 or more never decays");
    for (int side = 0; side < 2; ++side) {
        const std::size_t extra = side == 0 ? 0 : kRightSideExtraFrames;
        for (std::size_t frames : kCombFrames)
            combs[side].push_back({std::vector<float>(frames + extra, 0.0f)});
        for (std::size_t frames : kAllPassFrames)
            allPasses[side].push_back({std::vector<float>(frames + extra, 0.0f)});
    }
}

std::array<float, 2> Reverb::process(float input) {
    std::array<float, 2> wet{};
    const float scaled = input * kInputGain;
    for (int side = 0; side < 2; ++side) {
        float sum = 0.0f;
        for (Comb& comb : combs[side]) {
            float& slot = comb.line[comb.position];
            const float delayed = slot;
            comb.lowpassed = delayed * (1.0f - damping) + comb.lowpassed * damping;
            slot = scaled + comb.lowpassed * feedback;
            if (++comb.position == comb.line.size())
                comb.position = 0;
            sum += delayed;
        }
        for (AllPass& pass : allPasses[side]) {
            float& slot = pass.line[pass.position];
            const float delayed = slot;
            slot = sum + delayed * kAllPassFeedback;
            sum = delayed - sum;
            if (++pass.position == pass.line.size())
                pass.position = 0;
        }
        wet[side] = sum;
    }
    return wet;
}

} // namespace synth
