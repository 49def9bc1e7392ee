#include "WhiteNoise.h"

#include <cassert>

namespace synth {

WhiteNoise::WhiteNoise(std::uint32_t startValue) : state(startValue) {
    assert(startValue != 0 && "xorshift stays at zero forever");
}

float WhiteNoise::unit() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    // The top 24 bits fill a float's mantissa exactly.
    return static_cast<float>(state >> 8) * (1.0f / 16777216.0f);
}

} // namespace synth
