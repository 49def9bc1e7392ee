#pragma once

#include <cstdint>

namespace synth {

// White noise from a xorshift generator. Each sound starts its own generator from a fixed start
// value, so every run writes the same bytes and one sound's changes never alter another's.
class WhiteNoise {
public:
    explicit WhiteNoise(std::uint32_t startValue);

    // Uniform in [-1, 1).
    float next() { return 2.0f * unit() - 1.0f; }
    // Uniform in [0, 1).
    float unit();

private:
    std::uint32_t state;
};

} // namespace synth
